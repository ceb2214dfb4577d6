#include "publish/Publishers.h"

#include "publish/NamesPublisher.h"
#include "publish/PagePublisher.h"

namespace tovra {

std::vector<std::unique_ptr<Publisher>> CreatePublishers(const PublisherContext& context) {
    std::vector<std::unique_ptr<Publisher>> publishers;
    publishers.push_back(std::make_unique<PagePublisher>(context));
    publishers.push_back(std::make_unique<NamesPublisher>(context));
    return publishers;
}

} // namespace tovra

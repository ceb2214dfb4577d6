#include "publish/Publishers.h"

#include "publish/PagePublisher.h"

namespace tovra {

std::vector<std::unique_ptr<Publisher>> CreatePublishers(const PublisherContext& context) {
    std::vector<std::unique_ptr<Publisher>> publishers;
    publishers.push_back(std::make_unique<PagePublisher>(context));
    return publishers;
}

} // namespace tovra

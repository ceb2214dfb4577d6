#pragma once
// Every place a posting goes, in the order they are published to. A new kind of target is one
// more line in CreatePublishers; the posting worker takes whatever list it is given.

#include "publish/Publisher.h"

#include <memory>
#include <vector>

namespace tovra {

std::vector<std::unique_ptr<Publisher>> CreatePublishers(const PublisherContext& context);

} // namespace tovra

#pragma once
// A worker whose Run() is given by the test.

#include "framework/WorkerThread.h"

#include <functional>
#include <memory>
#include <utility>

namespace tovra::test {

class LambdaWorker : public WorkerThread {
public:
    explicit LambdaWorker(std::function<void(LambdaWorker&)> body) : body_(std::move(body)) {}

    // Made and started in one step, as an owner would (the result is null if the start failed).
    static std::shared_ptr<LambdaWorker> Started(std::function<void(LambdaWorker&)> body) {
        auto worker = std::make_shared<LambdaWorker>(std::move(body));
        return worker->Start() ? worker : nullptr;
    }

protected:
    void Run() override { body_(*this); }

private:
    std::function<void(LambdaWorker&)> body_;
};

} // namespace tovra::test

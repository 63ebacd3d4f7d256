#include "support/WorkerHarness.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace orvalt::testing {

namespace {
// Generous: only a broken handler loop would ever need it.
constexpr std::chrono::seconds kIdleLimit{30};
constexpr std::chrono::milliseconds kPollPeriod{5};
}  // namespace

WorkerHarness::WorkerHarness(std::uint32_t startTick)
    : clock_(startTick), window_(queue_.MakeTarget()) {}

void WorkerHarness::SetOnMessage(std::function<void(const PostedMessage&)> onMessage) {
    onMessage_ = std::move(onMessage);
}

void WorkerHarness::Handle(PostedMessage message) {
    if (onMessage_) {
        onMessage_(message);
    }
    messages_.push_back(std::move(message));
    queue_.DoneHandling();
}

void WorkerHarness::RunOnWorker(const std::function<void()>& work) {
    clock_.SetIdleWaiter([this] { queue_.WaitIdleFor(kIdleLimit); });
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    while (!done) {
        if (auto message = queue_.WaitPop(kPollPeriod)) {
            Handle(std::move(*message));
        }
    }
    worker.join();
    while (auto message = queue_.TryPop()) {
        Handle(std::move(*message));
    }
    clock_.SetIdleWaiter(nullptr);
}

std::vector<std::string> WorkerHarness::Texts(int kind) const {
    return TextsWhere([kind](const ProgressMessage& m) { return m.kind == kind; });
}

std::vector<std::string> WorkerHarness::Texts(int kind, int row) const {
    return TextsWhere(
        [kind, row](const ProgressMessage& m) { return m.kind == kind && m.row == row; });
}

std::vector<std::string> WorkerHarness::TextsWhere(
    const std::function<bool(const ProgressMessage&)>& wanted) const {
    std::vector<std::string> texts;
    for (const auto& message : messages_) {
        const auto* progress = std::get_if<ProgressMessage>(&message);
        if (progress && wanted(*progress)) {
            texts.push_back(progress->text);
        }
    }
    return texts;
}

}  // namespace orvalt::testing

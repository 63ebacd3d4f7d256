#pragma once
// The observers attached to one session, told of each event in turn. Attaching
// and detaching may happen on any thread at any time; an event in delivery
// finishes first.

#include <functional>
#include <mutex>
#include <vector>

#include "domain/SessionObserver.h"

namespace orvalt {

class SessionObservers {
  public:
    void Attach(SessionObserver& observer) {
        std::scoped_lock lock(mutex_);
        observers_.push_back(&observer);
    }

    void Detach(SessionObserver& observer) {
        std::scoped_lock lock(mutex_);
        std::erase(observers_, &observer);
    }

    // Calls `event` on every observer, one event at a time across all threads.
    void Tell(const std::function<void(SessionObserver&)>& event) {
        std::scoped_lock lock(mutex_);
        for (SessionObserver* observer : observers_) {
            event(*observer);
        }
    }

  private:
    std::mutex mutex_;
    std::vector<SessionObserver*> observers_;
};

}  // namespace orvalt

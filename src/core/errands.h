// Questions that the run thread asks and a worker thread answers, so that the 10 ms loop never
// waits: the asker asks and goes on, and takes the answer on a later pass. Used by the traffic
// reader (the parked traffic) and the download site's worker (stock files).
//
// Each ask is numbered. An answer is kept only while its question is still the one asked: a
// question asked again, given up or cleared in the meantime throws its late answer away. All
// members may be called from any thread; the worker learns of a new question through the wake
// function, called after the ask outside the lock (so the wake may take the worker's own lock).
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

template <class Key, class Answer>
class Errands {
  public:
    explicit Errands(std::function<void()> wake = {}) : wake_(std::move(wake)) {}

    // Asks (again) about key; a pending ask of the same key is replaced.
    void ask(const Key& key) {
        {
            std::lock_guard lock(mutex_);
            Slot slot;
            slot.number = ++counter_;
            slots_.insert_or_assign(key, std::move(slot));
            queue_.push_back(key);
        }
        if (wake_) wake_();
    }
    // Worker: the oldest question not taken up yet, with its number; taken up once.
    std::optional<std::pair<Key, uint64_t>> takeUp() {
        std::lock_guard lock(mutex_);
        while (!queue_.empty()) {
            Key key = std::move(queue_.front());
            queue_.pop_front();
            auto it = slots_.find(key);
            if (it == slots_.end() || it->second.takenUp) continue;
            it->second.takenUp = true;
            return std::pair{std::move(key), it->second.number};
        }
        return std::nullopt;
    }
    // Worker: a question waits to be taken up.
    bool waiting() const {
        std::lock_guard lock(mutex_);
        for (const Key& key : queue_)
            if (auto it = slots_.find(key); it != slots_.end() && !it->second.takenUp) return true;
        return false;
    }
    // Worker: the answer to question number of key; thrown away when that is no longer asked.
    void answer(const Key& key, uint64_t number, Answer answer) {
        std::lock_guard lock(mutex_);
        auto it = slots_.find(key);
        if (it != slots_.end() && it->second.number == number) it->second.answer = std::move(answer);
    }
    // Asked and not answered yet.
    bool pending(const Key& key) const {
        std::lock_guard lock(mutex_);
        auto it = slots_.find(key);
        return it != slots_.end() && !it->second.answer;
    }
    // Some question is asked and not answered yet.
    bool anyPending() const {
        std::lock_guard lock(mutex_);
        for (const auto& [key, slot] : slots_)
            if (!slot.answer) return true;
        return false;
    }
    bool answered(const Key& key) const {
        std::lock_guard lock(mutex_);
        auto it = slots_.find(key);
        return it != slots_.end() && it->second.answer;
    }
    // The answer, once; nothing while it is pending or when nothing was asked.
    std::optional<Answer> take(const Key& key) {
        std::lock_guard lock(mutex_);
        auto it = slots_.find(key);
        if (it == slots_.end() || !it->second.answer) return std::nullopt;
        std::optional<Answer> answer = std::move(it->second.answer);
        slots_.erase(it);
        return answer;
    }
    // Gives the question up: its answer, now or later, is thrown away.
    void giveUp(const Key& key) {
        std::lock_guard lock(mutex_);
        slots_.erase(key);
    }
    // Gives every question up.
    void clear() {
        std::lock_guard lock(mutex_);
        slots_.clear();
        queue_.clear();
    }

  private:
    struct Slot {
        uint64_t number = 0;
        bool takenUp = false;
        std::optional<Answer> answer;
    };
    mutable std::mutex mutex_;
    uint64_t counter_ = 0;
    std::map<Key, Slot> slots_;
    std::deque<Key> queue_;  // keys in the order asked; stale entries are skipped
    std::function<void()> wake_;
};

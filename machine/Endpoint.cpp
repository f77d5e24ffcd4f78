#include "machine/Endpoint.h"

namespace machine {

Endpoint::~Endpoint() = default;

void Endpoint::SetCompletion(Completion completion) {
    {
        std::lock_guard<std::mutex> lock(m_knobMutex);
        m_completion = completion;
        m_nextLater = true;
    }
    NotifyObservers();
}

Completion Endpoint::GetCompletion() const {
    std::lock_guard<std::mutex> lock(m_knobMutex);
    return m_completion;
}

bool Endpoint::NextAnswersLater() {
    std::lock_guard<std::mutex> lock(m_knobMutex);
    switch (m_completion) {
    case Completion::AtOnce:
        return false;
    case Completion::Later:
        return true;
    case Completion::Alternate:
        m_nextLater = !m_nextLater;
        return !m_nextLater;
    }
    return false;
}

void Endpoint::SetHold(bool hold) {
    {
        std::lock_guard<std::mutex> lock(m_knobMutex);
        m_hold = hold;
    }
    NotifyObservers();
}

bool Endpoint::Held() const {
    std::lock_guard<std::mutex> lock(m_knobMutex);
    return m_hold;
}

int Endpoint::Subscribe(std::function<void()> observer) {
    std::lock_guard<std::mutex> lock(m_observerMutex);
    int id = ++m_nextObserver;
    m_observers.emplace_back(id, std::move(observer));
    return id;
}

void Endpoint::Unsubscribe(int id) {
    std::lock_guard<std::mutex> lock(m_observerMutex);
    for (auto it = m_observers.begin(); it != m_observers.end(); ++it) {
        if (it->first == id) {
            m_observers.erase(it);
            return;
        }
    }
}

void Endpoint::NotifyObservers() {
    std::vector<std::function<void()>> observers;
    {
        std::lock_guard<std::mutex> lock(m_observerMutex);
        for (auto& entry : m_observers)
            observers.push_back(entry.second);
    }
    for (auto& observer : observers)
        observer();
}

} // namespace machine

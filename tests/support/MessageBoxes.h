// A recorder of the message boxes shown while it exists: each as "caption: text", answered
// with OK.
#pragma once

#include <emu_desktop.h>

#include <mutex>
#include <string>
#include <vector>

namespace testsupport {

class MessageBoxes : public emu::DesktopObserver {
public:
    MessageBoxes() { emu::AddDesktopObserver(this); }
    ~MessageBoxes() override { emu::RemoveDesktopObserver(this); }
    int OnMessageBoxOpened(const emu::MessageBoxInfo& box) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.push_back(box.caption + ": " + box.text);
        return IDOK;
    }
    std::vector<std::string> Texts() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    size_t Count() { return Texts().size(); }
    // All of them, each line ended by a newline.
    std::string Lines() {
        std::string lines;
        for (const std::string& text : Texts())
            lines += text + "\n";
        return lines;
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

} // namespace testsupport

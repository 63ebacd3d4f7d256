#pragma once
// A diagnostic link reading the slave side of a pseudo-terminal, with the far
// end writable and the posts collected in a queue.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diaglink/CDiagCommPort.h"
#include "domain/MessageQueue.h"
#include "platform/PseudoTerminal.h"

namespace orvalt::testing {

// What a waiting test allows before it gives up: far beyond anything a
// working link needs, so that a loaded machine never fails a test.
constexpr int kPatienceMs = 20000;

class LinkHarness {
  public:
    LinkHarness() : pty(PseudoTerminal::Open()), window(queue.MakeTarget()) {}

    bool Open(std::int32_t baudRate = 115200) {
        return pty && link.OpenLink(window, pty->SlavePath(), baudRate);
    }

    void Send(std::string_view bytes) {
        const auto result = pty->Write(bytes, kPatienceMs);
        ASSERT_EQ(result.written, bytes.size()) << "errno " << result.error;
    }

    // Every message up to and including the line `sentinel` (not returned).
    std::vector<PostedMessage> CollectUntilLine(std::string_view sentinel) {
        std::vector<PostedMessage> messages;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(kPatienceMs);
        while (std::chrono::steady_clock::now() < deadline) {
            auto message = queue.WaitPop(std::chrono::milliseconds(100));
            if (!message) {
                continue;
            }
            queue.DoneHandling();
            const auto* line = std::get_if<DiagLineMessage>(&*message);
            if (line && line->line.bytes == sentinel) {
                return messages;
            }
            messages.push_back(std::move(*message));
        }
        ADD_FAILURE() << "sentinel line never arrived";
        return messages;
    }

    // Whatever is queued now.
    void DropQueued() {
        while (queue.TryPop()) {
            queue.DoneHandling();
        }
    }

    // Messages that arrive within `forMs`.
    std::vector<PostedMessage> CollectFor(int forMs) {
        std::vector<PostedMessage> messages;
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(forMs);
        for (auto now = std::chrono::steady_clock::now(); now < until;
             now = std::chrono::steady_clock::now()) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - now);
            if (auto message = queue.WaitPop(left)) {
                queue.DoneHandling();
                messages.push_back(std::move(*message));
            }
        }
        return messages;
    }

    std::optional<PseudoTerminal> pty;
    MessageQueue queue;
    WindowHandle window;
    CDiagCommPort link;
};

// The exact bytes of the diagnostic lines among `messages`.
inline std::vector<std::string> LineBytes(const std::vector<PostedMessage>& messages) {
    std::vector<std::string> rows;
    for (const auto& message : messages) {
        if (const auto* line = std::get_if<DiagLineMessage>(&message)) {
            rows.push_back(line->line.bytes);
        }
    }
    return rows;
}

// The texts of the link errors among `messages`.
inline std::vector<std::string> ErrorTexts(const std::vector<PostedMessage>& messages) {
    std::vector<std::string> texts;
    for (const auto& message : messages) {
        if (const auto* error = std::get_if<LinkErrorMessage>(&message)) {
            texts.push_back(error->text);
        }
    }
    return texts;
}

}  // namespace orvalt::testing

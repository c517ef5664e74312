// The user messages that workers and the engine send to the main window, and the
// interface of anything that receives them.
//
// A send is synchronous: it returns only after the receiver handled the message,
// so a text passed by pointer may live on the sender's stack.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillmark::platform {

using MessageId = std::uint32_t;
using WParam = std::uintptr_t;
using LParam = std::intptr_t;

inline constexpr MessageId WM_APP_PROGRESS_RANGE = 0x404;   // wParam low, lParam high
inline constexpr MessageId WM_APP_PANEL_TEXT = 0x405;       // lParam: 8-bit text
inline constexpr MessageId WM_APP_FATAL = 0x406;            // lParam: 8-bit text
inline constexpr MessageId WM_APP_OBJECT_SELECTED = 0x496;  // wParam hit flags, lParam tree item
inline constexpr MessageId WM_APP_PROGRESS_POS = 0x49C;     // wParam position
inline constexpr MessageId WM_APP_LOG = 0x4B7;              // lParam: 8-bit text
inline constexpr MessageId WM_APP_PREV_RECORDS = 0x4BE;
inline constexpr MessageId WM_APP_NEXT_RECORDS = 0x4BF;

// True for the messages whose lParam points at a NUL-terminated 8-bit text.
bool CarriesText(MessageId id);

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual LParam send(MessageId id, WParam wParam, LParam lParam) = 0;
};

// Sends to `target` when there is one; a worker without a window sends nowhere.
LParam Send(MessageTarget* target, MessageId id, WParam wParam, LParam lParam);
LParam SendText(MessageTarget* target, MessageId id, const char* text);

// Remembers every message it receives, copying the texts, for tests and for
// front ends that replay messages later.
class RecordingTarget : public MessageTarget {
 public:
  struct Message {
    MessageId id = 0;
    WParam wParam = 0;
    LParam lParam = 0;
    std::string text;  // the text of a text-carrying message
  };

  LParam send(MessageId id, WParam wParam, LParam lParam) override;

  std::vector<Message> messages;
  // Called after each message is recorded (a test may raise a stop here).
  std::function<void(const Message&)> onSend;

  std::vector<std::string> Texts(MessageId id) const;
  std::size_t Count(MessageId id) const;
};

}  // namespace quillmark::platform

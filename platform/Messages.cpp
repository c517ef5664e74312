#include "platform/Messages.h"

#include <algorithm>

namespace quillmark::platform {

bool CarriesText(MessageId id) {
  return id == WM_APP_PANEL_TEXT || id == WM_APP_FATAL || id == WM_APP_LOG;
}

LParam Send(MessageTarget* target, MessageId id, WParam wParam, LParam lParam) {
  return target ? target->send(id, wParam, lParam) : 0;
}

LParam SendText(MessageTarget* target, MessageId id, const char* text) {
  return Send(target, id, 0, reinterpret_cast<LParam>(text));
}

LParam RecordingTarget::send(MessageId id, WParam wParam, LParam lParam) {
  Message message{id, wParam, lParam, {}};
  if (CarriesText(id) && lParam != 0) message.text = reinterpret_cast<const char*>(lParam);
  messages.push_back(message);
  if (onSend) onSend(messages.back());
  return 1;
}

std::vector<std::string> RecordingTarget::Texts(MessageId id) const {
  std::vector<std::string> texts;
  for (const Message& message : messages)
    if (message.id == id) texts.push_back(message.text);
  return texts;
}

std::size_t RecordingTarget::Count(MessageId id) const {
  return static_cast<std::size_t>(std::count_if(messages.begin(), messages.end(),
                                                [id](const Message& m) { return m.id == id; }));
}

}  // namespace quillmark::platform

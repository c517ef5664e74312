#include "engine/AppSettings.h"

namespace quillmark {

AppSettings& Settings() {
  static AppSettings settings;
  return settings;
}

void ResetSettings() { Settings() = AppSettings{}; }

}  // namespace quillmark

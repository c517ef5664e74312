// The application looks of the View menu (commands 210-218) as Qt styles and
// palettes, and the stored choice ("ApplicationLook", 216 unless changed).
#pragma once

#include <QString>

namespace quillmark::gui {

inline constexpr int kFirstLook = 210;
inline constexpr int kLastLook = 218;
inline constexpr int kDefaultLook = 216;
inline constexpr const char* kLookKey = "ApplicationLook";

// The menu text of a look.
QString LookName(int id);
// Selects the style and palette of `id` for the whole application.
void ApplyLook(int id);
// The stored look, or 216; a stored value outside 210-218 counts as none.
int StoredLook();
void StoreLook(int id);

}  // namespace quillmark::gui

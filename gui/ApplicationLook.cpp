#include "gui/ApplicationLook.h"

#include <QApplication>
#include <QPalette>
#include <QSettings>
#include <QStyleFactory>

#include "app/StartUp.h"

namespace quillmark::gui {
namespace {

QSettings Profile() { return QSettings(QString::fromLatin1(app::kRegistryKeyName), QStringLiteral("Quillmark")); }

// A Fusion palette from a window colour, a base colour and a highlight.
QPalette Palette(QColor window, QColor base, QColor text, QColor highlight) {
  QPalette palette;
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::AlternateBase, window);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, window);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::ToolTipBase, base);
  palette.setColor(QPalette::ToolTipText, text);
  palette.setColor(QPalette::Highlight, highlight);
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::PlaceholderText, text.lighter(150));
  palette.setColor(QPalette::Disabled, QPalette::Text, QColor(128, 128, 128));
  palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(128, 128, 128));
  palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(128, 128, 128));
  palette.setColor(QPalette::Link, highlight.lighter(130));
  return palette;
}

}  // namespace

QString LookName(int id) {
  switch (id) {
    case 210: return QStringLiteral("Windows 2000");
    case 211: return QStringLiteral("Office XP");
    case 212: return QStringLiteral("Windows XP");
    case 213: return QStringLiteral("Office 2003");
    case 214: return QStringLiteral("Visual Studio 2005");
    case 215: return QStringLiteral("Office 2007 (Blue Style)");
    case 216: return QStringLiteral("Office 2007 (Black Style)");
    case 217: return QStringLiteral("Office 2007 (Silver Style)");
    case 218: return QStringLiteral("Office 2007 (Aqua Style)");
    default: return {};
  }
}

void ApplyLook(int id) {
  const bool classic = id == 210;
  QApplication::setStyle(QStyleFactory::create(classic ? QStringLiteral("Windows") : QStringLiteral("Fusion")));
  const QColor dark(0x20, 0x20, 0x20);
  switch (id) {
    case 210: QApplication::setPalette(Palette(QColor(0xD4, 0xD0, 0xC8), Qt::white, Qt::black, QColor(0x0A, 0x24, 0x6A))); break;
    case 211: QApplication::setPalette(Palette(QColor(0xF0, 0xEE, 0xE8), Qt::white, Qt::black, QColor(0x31, 0x6A, 0xC5))); break;
    case 212: QApplication::setPalette(Palette(QColor(0xEC, 0xE9, 0xD8), Qt::white, Qt::black, QColor(0x31, 0x6A, 0xC5))); break;
    case 213: QApplication::setPalette(Palette(QColor(0xC3, 0xDA, 0xF9), Qt::white, Qt::black, QColor(0x31, 0x6A, 0xC5))); break;
    case 214: QApplication::setPalette(Palette(QColor(0xEE, 0xED, 0xE5), Qt::white, Qt::black, QColor(0x33, 0x99, 0xFF))); break;
    case 215: QApplication::setPalette(Palette(QColor(0xBF, 0xDB, 0xFF), Qt::white, Qt::black, QColor(0x1E, 0x5A, 0xA8))); break;
    case 216: QApplication::setPalette(Palette(QColor(0x35, 0x35, 0x35), QColor(0x25, 0x25, 0x25), QColor(0xE8, 0xE8, 0xE8), QColor(0x2A, 0x82, 0xDA))); break;
    case 217: QApplication::setPalette(Palette(QColor(0xE1, 0xE4, 0xE9), Qt::white, dark, QColor(0x5F, 0x7D, 0x9E))); break;
    case 218: QApplication::setPalette(Palette(QColor(0xCA, 0xE8, 0xEE), Qt::white, dark, QColor(0x00, 0x7C, 0x92))); break;
    default: break;
  }
}

int StoredLook() {
  bool ok = false;
  const int id = Profile().value(QString::fromLatin1(kLookKey), kDefaultLook).toInt(&ok);
  return ok && id >= kFirstLook && id <= kLastLook ? id : kDefaultLook;
}

void StoreLook(int id) { Profile().setValue(QString::fromLatin1(kLookKey), id); }

}  // namespace quillmark::gui

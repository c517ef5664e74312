#include "gui/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/MainFrame.h"
#include "gui/QtText.h"

namespace quillmark::gui {
namespace {

// A link to an address that is left empty: shown, with its tool tip, opening nothing.
QLabel* Link(const QString& text, const QString& toolTip, QWidget* parent) {
  auto* link = new QLabel(QStringLiteral("<a href=\"\">%1</a>").arg(text.toHtmlEscaped()), parent);
  link->setToolTip(toolTip);
  link->setOpenExternalLinks(false);
  return link;
}

}  // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("aboutBox"));
  setWindowTitle(Q(app::kAppCaption));
  auto* icon = new QLabel(this);
  icon->setPixmap(QIcon(QStringLiteral(":/icons/quillmark.svg")).pixmap(64, 64));
  auto* product = new QLabel(Q(app::kAppCaption), this);
  product->setObjectName(QStringLiteral("productLabel"));
  QFont bold = product->font();
  bold.setBold(true);
  bold.setPointSizeF(bold.pointSizeF() * 1.3);
  product->setFont(bold);
  auto* texts = new QVBoxLayout;
  texts->addWidget(product);
  texts->addWidget(Link(QStringLiteral("Website"), QStringLiteral("Company website"), this));
  texts->addWidget(Link(QStringLiteral("Support"), QStringLiteral("Support email address"), this));
  texts->addWidget(Link(QStringLiteral("Sales"), QStringLiteral("Sales email address"), this));
  texts->addWidget(new QLabel(QStringLiteral("Made by the Quillmark developers."), this));
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addLayout(texts, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
}

void AboutBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) grab_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
  QDialog::mousePressEvent(event);
}

void AboutBox::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() & Qt::LeftButton) move(event->globalPosition().toPoint() - grab_);
  QDialog::mouseMoveEvent(event);
}

}  // namespace quillmark::gui

#include "platform/qt/hyperlink_label.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QUrl>

#include "platform/posix/html_handler.h"
#include "platform/qt/message_box.h"
#include "platform/qt/qt_text.h"
#include "ui/hyperlink_messages.h"

namespace wharfling::qt {

HyperlinkLabel::HyperlinkLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
  // Attaching: the control's text is the target until one is set, its font the normal face.
  linkTarget_ = text;
  normalFont_ = font();
  underlinedFont_ = normalFont_;
  underlinedFont_.setUnderline(true);
  setMouseTracking(true);
  setCursor(Qt::PointingHandCursor);
  setToolTip(linkTarget_);
  // The background is filled with the button face, as dialogs are.
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, colours.color(QPalette::Button));
  setPalette(colours);
  reportError_ = [this](const QString& message) { ShowWarning(this, message); };
  ResizeToText();
}

void HyperlinkLabel::SetLinkTarget(const QString& target) {
  linkTarget_ = target;
  if (text().isEmpty()) setText(target);
  ResizeToText();
  setToolTip(linkTarget_);
}

void HyperlinkLabel::SetUnderlineMode(int mode) {
  if (mode == underlineMode_) return;
  setFont(mode == kUnderlineAlways ? underlinedFont_ : normalFont_);
  Repaint();
  underlineMode_ = mode;
}

void HyperlinkLabel::SetVisited(bool visited) {
  visited_ = visited;
  Repaint();
}

QColor HyperlinkLabel::textColour() const {
  if (hovering_) return hoverColour_;
  return visited_ ? visitedColour_ : linkColour_;
}

void HyperlinkLabel::Repaint() {
  ++repaintRequests_;
  update();
}

void HyperlinkLabel::ResizeToText() {
  if (!autoSize_) return;
  const QSize extent = QFontMetrics(underlinedFont_).size(Qt::TextSingleLine, text());
  const QMargins frame = contentsMargins();
  const QSize size(extent.width() + frame.left() + frame.right(),
                   extent.height() + frame.top() + frame.bottom());
  QRect area = geometry();
  const Qt::Alignment align = alignment();
  if (align & Qt::AlignHCenter) {
    area.setLeft(area.center().x() - size.width() / 2);
  } else if (align & Qt::AlignRight) {
    area.setLeft(area.right() + 1 - size.width());
  }
  area.setWidth(size.width());
  if (align & Qt::AlignVCenter) area.setTop(area.center().y() - size.height() / 2);
  area.setHeight(size.height());
  setGeometry(area);
}

void HyperlinkLabel::mouseMoveEvent(QMouseEvent* event) {
  if (!hovering_) {
    hovering_ = true;
    if (underlineMode_ == kUnderlineOnHover) setFont(underlinedFont_);
    Repaint();
    hoverTimer_.start(kHoverPeriodMs, this);
  }
  QLabel::mouseMoveEvent(event);
}

void HyperlinkLabel::timerEvent(QTimerEvent* event) {
  if (event->timerId() == hoverTimer_.timerId() && !rect().contains(mapFromGlobal(QCursor::pos()))) {
    StopHovering();
  }
  QLabel::timerEvent(event);
}

void HyperlinkLabel::StopHovering() {
  hovering_ = false;
  hoverTimer_.stop();
  if (underlineMode_ != kUnderlineAlways) setFont(normalFont_);
  Repaint();
}

void HyperlinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
    QLabel::mouseReleaseEvent(event);
    return;
  }
  hovering_ = false;
  const int result = opener_(linkTarget_);
  if (result > kOpenLinkSucceededAbove) {
    SetVisited(true);
    return;
  }
  visited_ = false;
  Repaint();
  QApplication::beep();
  reportError_(ToQString(HyperlinkErrorText(result)));
}

void HyperlinkLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setFont(font());
  painter.setPen(textColour());
  painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
}

int HyperlinkLabel::OpenLink(const QString& address) {
  if (QDesktopServices::openUrl(QUrl(address))) return kOpenLinkSucceededAbove + 1;
  const auto command = posix::HtmlHandlerCommand(address.toStdString(), posix::ProcessEnvironment);
  if (!command) return kOpenLinkNoAssociation;
  QStringList words = QProcess::splitCommand(QString::fromStdString(*command));
  if (words.isEmpty()) return kOpenLinkNoAssociation;
  const QString program = words.takeFirst();
  return QProcess::startDetached(program, words) ? kOpenLinkSucceededAbove + 1 : kOpenLinkFileNotFound;
}

}  // namespace wharfling::qt

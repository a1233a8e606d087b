#pragma once
// A static text that acts as a web link: link, visited and hover colours, an underline mode, the
// hand cursor and a tooltip with the target; a click opens the target through the desktop.

#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <QLabel>
#include <functional>

namespace wharfling::qt {

class HyperlinkLabel : public QLabel {
  Q_OBJECT
 public:
  // 1: always underlined, 0: never, -1: only while the pointer is over it.
  static constexpr int kUnderlineAlways = 1;
  static constexpr int kUnderlineNever = 0;
  static constexpr int kUnderlineOnHover = -1;
  static constexpr int kHoverPeriodMs = 100;

  // Opens an address; a result above 32 means it was opened (the platform's codes otherwise).
  using Opener = std::function<int(const QString& address)>;
  // Shows the error text when opening failed.
  using ErrorReporter = std::function<void(const QString& text)>;

  explicit HyperlinkLabel(const QString& text, QWidget* parent = nullptr);

  void SetLinkTarget(const QString& target);
  void SetUnderlineMode(int mode);
  void SetVisited(bool visited);
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  void SetErrorReporter(ErrorReporter reporter) { reportError_ = std::move(reporter); }

  const QString& linkTarget() const { return linkTarget_; }
  int underlineMode() const { return underlineMode_; }
  bool visited() const { return visited_; }
  bool hovering() const { return hovering_; }
  bool underlined() const { return font().underline(); }
  QColor textColour() const;
  // Repaints asked for by the label itself; a mode that does not change asks for none.
  int repaintRequests() const { return repaintRequests_; }

  // The desktop's URL handler, then the default HTML handler's command line.
  static int OpenLink(const QString& address);

 protected:
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Repaint();
  void ResizeToText();
  void StopHovering();

  QString linkTarget_;
  QFont normalFont_;
  QFont underlinedFont_;
  int underlineMode_ = kUnderlineOnHover;
  QColor linkColour_{0, 0, 238};
  QColor visitedColour_{85, 26, 139};
  QColor hoverColour_{255, 0, 0};
  bool hovering_ = false;
  bool visited_ = false;
  bool autoSize_ = true;
  QBasicTimer hoverTimer_;
  int repaintRequests_ = 0;
  Opener opener_ = &HyperlinkLabel::OpenLink;
  ErrorReporter reportError_;
};

}  // namespace wharfling::qt

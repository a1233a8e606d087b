#include "apps/wharfling-desktop/snapshot_hook.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "platform/qt/desktop_dialog.h"
#include "platform/qt/icon_list_box.h"
#include "platform/qt/site_chooser.h"

namespace wharfling::desktop {
namespace {

constexpr int kHookTimeoutMs = 60000;
constexpr int kSettleMs = 300;

// No window manager runs under Xvfb, so the caption bar a window asks for is drawn above it here,
// with its title, as a desktop would show it.
QPixmap WithCaption(QWidget& widget) {
  const QPixmap client = widget.grab();
  if (!(widget.windowFlags() & Qt::WindowTitleHint)) return client;
  const int captionHeight = widget.fontMetrics().height() + 10;
  QPixmap framed(client.width(), client.height() + captionHeight);
  QPainter painter(&framed);
  painter.fillRect(0, 0, framed.width(), captionHeight, QColor(0x2b, 0x57, 0x97));
  QFont bold = widget.font();
  bold.setBold(true);
  painter.setFont(bold);
  painter.setPen(Qt::white);
  painter.drawText(QRect(8, 0, framed.width() - 16, captionHeight), Qt::AlignVCenter | Qt::AlignLeft,
                   widget.windowTitle());
  painter.drawPixmap(0, captionHeight, client);
  return framed;
}

void Save(QWidget& widget, const std::string& file) {
  QApplication::processEvents();
  if (!WithCaption(widget).save(QString::fromStdString(file), "PNG")) {
    std::fprintf(stderr, "wharfling-desktop: cannot write %s\n", file.c_str());
    QApplication::exit(1);
  }
}

// Processes events for a while, so that the window has painted what it was told.
void Settle() {
  QEventLoop loop;
  QTimer::singleShot(kSettleMs, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

std::optional<SnapshotHook> SnapshotHookFromEnvironment() {
  const char* value = std::getenv("WHARFLING_DESKTOP_SNAPSHOT");
  if (value == nullptr) return std::nullopt;
  const std::string text(value);
  for (const auto& [prefix, kind] : {std::pair{std::string("upload:"), SnapshotHook::Kind::kUpload},
                                     std::pair{std::string("chooser:"), SnapshotHook::Kind::kChooser},
                                     std::pair{std::string("open:"), SnapshotHook::Kind::kOpen}}) {
    if (text.starts_with(prefix) && text.size() > prefix.size())
      return SnapshotHook{kind, text.substr(prefix.size())};
  }
  std::fprintf(
      stderr, "wharfling-desktop: WHARFLING_DESKTOP_SNAPSHOT wants upload:FILE, chooser:FILE or open:FILE\n");
  return std::nullopt;
}

qt::QtDialogView::Modals SnapshotModals(const SnapshotHook& hook) {
  QTimer::singleShot(kHookTimeoutMs, [] {
    std::fprintf(stderr, "wharfling-desktop: snapshot hook timed out\n");
    std::exit(1);
  });
  return {
      [](const QString& text) { std::fprintf(stderr, "message: %s\n", text.toStdString().c_str()); },
      [hook](const std::vector<Text>& entries) {
        qt::SiteChooser chooser(entries);
        chooser.show();
        chooser.list()->setCurrentRow(1);
        Settle();
        if (hook.kind == SnapshotHook::Kind::kChooser) Save(chooser, hook.file);
        return ChooserOutcome{};
      },
      [](const std::vector<Text>&) { return ChooserOutcome{}; },
  };
}

void ArmSnapshotHook(const SnapshotHook& hook, qt::DesktopDialog& dialog) {
  qt::UploadWindow& window = dialog.window();
  if (hook.kind == SnapshotHook::Kind::kChooser) {
    QTimer::singleShot(0, &window, &qt::UploadWindow::reject);
    return;
  }
  if (hook.kind == SnapshotHook::Kind::kOpen) {
    QTimer::singleShot(kSettleMs, &window, [&window, hook] {
      Save(window, hook.file);
      const QTreeWidget* rows = window.fileList();
      for (int i = 0; i < rows->topLevelItemCount(); ++i) {
        std::printf("row: %s\t%s\n", rows->topLevelItem(i)->text(0).toStdString().c_str(),
                    rows->topLevelItem(i)->text(1).toStdString().c_str());
      }
      std::fflush(stdout);
      window.reject();
    });
    return;
  }
  QObject::connect(&dialog, &qt::DesktopDialog::runFinished, &window, [&window, hook] {
    Settle();
    Save(window, hook.file);
    window.reject();
  });
  QTimer::singleShot(kSettleMs, &window, [&window] {
    if (window.destinationButton()->isVisible() && window.destinationButton()->isEnabled()) {
      window.destinationButton()->click();
    } else {
      std::fprintf(stderr, "wharfling-desktop: the destination button cannot be pressed\n");
      QApplication::exit(1);
    }
  });
}

}  // namespace wharfling::desktop

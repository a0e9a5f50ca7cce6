// bramble: the desktop application.
//
// Start-up: the engine, brm.cip from the current folder (a file dialog when
// it is not there), the message catalogue of its language (the program ends
// with exit code -1 when that cannot be opened), the conversion tables, then
// the main window.  When the window closes the program ends.
//
// This file and program_pages.cpp are the composition root: the only code
// that knows both the window and the subsystems' pages.
//
// The last database (DB= in the data folder) is opened again when it is
// still there, so the person starts where they left off.
//
// SIGTERM and SIGINT (a desktop session ending, a service manager, Ctrl+C in
// the terminal that started it) close the main window as its own close button
// would, so the program ends with exit code 0 through the normal path: the
// window's close handling runs and the event loop returns.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QSocketNotifier>
#include <string>

#include "app/app_context.h"
#include "app/gui/main_window.h"
#include "app/gui/qt_ui.h"
#include "bramble/program_pages.h"

namespace {

// A bramble berry on a leaf: drawn, so the program needs no image files.
QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x3c, 0x8d, 0x2f));
    p.drawEllipse(QRectF(30 * s, 4 * s, 30 * s, 16 * s));
    p.setBrush(QColor(0x4a, 0x14, 0x5c));
    const QPointF drupes[] = {{22, 24}, {36, 24}, {16, 36}, {29, 36},
                              {42, 36}, {22, 48}, {36, 48}, {29, 58}};
    for (const QPointF& c : drupes) p.drawEllipse(QPointF(c.x() * s, c.y() * s), 8 * s, 8 * s);
    p.setBrush(QColor(0x8e, 0x3c, 0xa8));
    for (const QPointF& c : drupes)
      p.drawEllipse(QPointF((c.x() - 2.5) * s, (c.y() - 2.5) * s), 2.5 * s, 2.5 * s);
    icon.addPixmap(pixmap);
  }
  return icon;
}

// The write end of the pipe a termination signal is turned into: a signal
// handler may only write, so the event loop does the closing.
int g_signal_fd = -1;

void OnTerminationSignal(int) {
  const char byte = 1;
  if (g_signal_fd >= 0) (void)!::write(g_signal_fd, &byte, 1);
}

// Closes `window` when SIGTERM or SIGINT arrives; without the pipe (no file
// descriptors left) the signals keep their default action.
void CloseOnTerminationSignals(QWidget& window) {
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) != 0) return;
  g_signal_fd = fds[0];
  auto* notifier = new QSocketNotifier(fds[1], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window, fd = fds[1]] {
    char buf[16];
    while (::read(fd, buf, sizeof buf) > 0) {
    }
    window.close();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Bramble"));
  QCoreApplication::setApplicationName(QStringLiteral("Bramble"));
  QApplication::setWindowIcon(ProgramIcon());

  bramble::AppContext ctx;
  bramble::gui::QtUi ui(nullptr, [&ctx] { return ctx.config().work_folder; });
  std::string fatal;
  if (!ctx.Start(bramble::StartOptions{}, ui, &fatal)) {
    ui.Message(fatal, "", bramble::Buttons::kOk, bramble::Icon::kError);
    return -1;
  }

  bramble::gui::CMainWindow window(ctx, ui, bramble::ProgramPages());
  ui.SetParent(&window);
  window.Initialise();
  window.OpenLastDatabase();
  window.show();
  CloseOnTerminationSignals(window);
  return app.exec();
}

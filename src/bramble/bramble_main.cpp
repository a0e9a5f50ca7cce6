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
// The command line (--help) can choose the language of this run, the page
// shown first and the record viewer at start, so the window can be shown and
// pictured in any state without touching brm.cip.
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
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
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

constexpr const char* kUsage =
    "Usage: bramble [--lang CODE] [--tab PAGE] [--view-records]\n"
    "\n"
    "Starts on the brm.cip of the current folder (a file dialog asks for one\n"
    "when there is none) and opens the last database again.\n"
    "\n"
    "  --lang CODE      language for this run only (en, es, pt ...); brm.cip\n"
    "                   keeps its LANG=\n"
    "  --tab PAGE       the page shown first: 1 to 7, or fields, strings,\n"
    "                   tomography, invfile, parameters, cleaning, utilities\n"
    "  --view-records   opens the record viewer on the last database at start\n"
    "  --help           shows this text\n";

// What the command line asks of the window.
struct WindowOptions {
  std::string language;
  int tab = 0;
  bool view_records = false;
};

// The page a --tab value names, or -1.
int TabOf(const std::string& value) {
  static const char* const kNames[bramble::gui::kTabCount] = {
      "fields", "strings", "tomography", "invfile", "parameters", "cleaning", "utilities"};
  for (int i = 0; i < bramble::gui::kTabCount; ++i)
    if (value == kNames[i] || value == std::to_string(i + 1)) return i;
  return -1;
}

// Reads the options left after Qt took its own; false (a line on standard
// error) for anything else.
bool ReadOptions(const QStringList& args, WindowOptions* out) {
  for (qsizetype i = 1; i < args.size(); ++i) {
    const std::string arg = args[i].toStdString();
    const bool has_value = i + 1 < args.size();
    if (arg == "--lang" && has_value) {
      out->language = args[++i].toStdString();
    } else if (arg == "--tab" && has_value) {
      out->tab = TabOf(args[++i].toStdString());
      if (out->tab < 0) {
        std::fprintf(stderr, "bramble: --tab takes 1 to 7 or a page name (--help)\n");
        return false;
      }
    } else if (arg == "--view-records") {
      out->view_records = true;
    } else {
      std::fprintf(stderr, "bramble: unknown option %s (--help)\n", arg.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // Before the application object, which needs a display.
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
  }
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Bramble"));
  QCoreApplication::setApplicationName(QStringLiteral("Bramble"));
  QApplication::setWindowIcon(ProgramIcon());
  WindowOptions options;
  if (!ReadOptions(QCoreApplication::arguments(), &options)) return 2;

  bramble::AppContext ctx;
  bramble::gui::QtUi ui(nullptr, [&ctx] { return ctx.config().work_folder; });
  std::string fatal;
  bramble::StartOptions start;
  start.language = options.language;
  if (!ctx.Start(start, ui, &fatal)) {
    ui.Message(fatal, "", bramble::Buttons::kOk, bramble::Icon::kError);
    return -1;
  }

  bramble::gui::CMainWindow window(ctx, ui, bramble::ProgramPages());
  ui.SetParent(&window);
  window.Initialise();
  window.OpenLastDatabase();
  window.Tabs()->setCurrentIndex(options.tab);
  window.show();
  CloseOnTerminationSignals(window);
  if (options.view_records) QTimer::singleShot(0, &window, [&window] { window.OnViewRecords(); });
  return app.exec();
}

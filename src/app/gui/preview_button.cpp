#include "app/gui/preview_button.h"

#include <QEvent>
#include <QVariant>
#include <QPushButton>
#include <algorithm>
#include <string>

#include "app/app_context.h"
#include "app/gui/gui_messages.h"
#include "app/preview_report.h"
#include "app/ui.h"

namespace bramble::gui {
namespace {

constexpr const char* kAllowedProperty = "bramblePreviewAllowed";
constexpr const char* kRunProperty = "bramblePreviewRunButton";

bool Allowed(const QPushButton* preview) {
  const QVariant v = preview->property(kAllowedProperty);
  return !v.isValid() || v.toBool();
}

// Keeps the preview button's enabled state that of the run button.  The
// filter is a child of the preview button, so it goes with it.
class EnabledFollower final : public QObject {
 public:
  EnabledFollower(QPushButton* run, QPushButton* preview)
      : QObject(preview), m_run(run), m_preview(preview) {
    run->installEventFilter(this);
    Sync();
  }

  void Sync() { m_preview->setEnabled(m_run->isEnabled() && Allowed(m_preview)); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == m_run && event->type() == QEvent::EnabledChange) Sync();
    return QObject::eventFilter(watched, event);
  }

 private:
  QPushButton* m_run;
  QPushButton* m_preview;
};

}  // namespace

QPushButton* NewPreviewButton(QPushButton* run, const QString& object_name) {
  auto* preview = new QPushButton(run->parentWidget());
  preview->setObjectName(object_name);
  preview->setText(Msg(1, 4));
  preview->setProperty(kRunProperty, QVariant::fromValue<QObject*>(run));
  new EnabledFollower(run, preview);
  // Reached with the keyboard just before the run button, where it stands.
  QWidget::setTabOrder(preview, run);
  return preview;
}

void SetPreviewAllowed(QPushButton* preview, bool allowed) {
  preview->setProperty(kAllowedProperty, allowed);
  const auto* run = qobject_cast<QPushButton*>(preview->property(kRunProperty).value<QObject*>());
  preview->setEnabled(allowed && (run == nullptr || run->isEnabled()));
}

void RunPreview(AppContext& ctx, Ui& ui, const std::function<void(Ui&)>& run) {
  PreviewReport report(ctx);
  PreviewUi preview_ui(ui);
  {
    PreviewScope scope(ctx, &report);
    run(preview_ui);
  }
  if (!preview_ui.walked()) return;
  std::string caption = ctx.Msg(1, 4);
  caption.erase(std::remove(caption.begin(), caption.end(), '&'), caption.end());
  ui.ShowText(caption, ctx.db_path(), PreviewReportText(ctx, report, preview_ui));
}

}  // namespace bramble::gui

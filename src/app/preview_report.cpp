#include "app/preview_report.h"

#include "app/answer_yes_ui.h"
#include "app/app_context.h"
#include "app/display_utf8.h"

namespace bramble {

PreviewReport::PreviewReport(const AppContext& ctx, int32_t limit) : ctx_(ctx), limit_(limit) {}

void PreviewReport::RecordChanged(int32_t mfn, const RecordContent& before,
                                  const RecordContent& after) {
  ++changed_;
  if (changed_ <= limit_) diff_ += DiffRecord(ctx_, mfn, before, after);
}

Answer PreviewUi::Message(const std::string& text, const std::string& caption, Buttons buttons,
                          Icon icon) {
  if (std::optional<Answer> yes = PreviewAnswer(buttons)) return *yes;
  if (!walked_) return ForwardingUi::Message(text, caption, buttons, icon);
  // The frame's totals use CR LF between lines; the report is one text.
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    totals_.push_back(text[i]);
  }
  totals_ += "\n";
  return Answer::kOk;
}

void PreviewUi::ShowText(const std::string& caption, const std::string& db_path,
                         const std::string& text) {
  if (!walked_) {
    ForwardingUi::ShowText(caption, db_path, text);
    return;
  }
  totals_ += caption + "\n" + text;
  if (!text.empty() && text.back() != '\n') totals_ += "\n";
}

int PreviewUi::Confirm(const std::string&, int, int, const std::string&) { return 1; }

void PreviewUi::SetBusy(bool busy) {
  if (busy) walked_ = true;
  ForwardingUi::SetBusy(busy);
}

PreviewScope::PreviewScope(AppContext& ctx, ChangeSink* sink)
    : ctx_(ctx), previous_(ctx.preview()) {
  ctx.set_preview(sink);
}

PreviewScope::~PreviewScope() { ctx_.set_preview(previous_); }

std::string PreviewReportText(const AppContext& ctx, const PreviewReport& report,
                              const PreviewUi& ui) {
  std::string text = Utf8ToCp1252(report.diff());
  if (!text.empty()) text += "\n";
  text += std::to_string(report.changed()) + " " + ctx.Msg(4, 5) + "\n";
  if (!ui.totals().empty()) text += "\n" + ui.totals();
  return text;
}

}  // namespace bramble

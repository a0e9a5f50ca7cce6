// Facade calls of the ISO 2709 export (ordinals 61 and 27) and their options.
// The file itself lives in ExportState (engine/iso2709/export_state.h).
#include <string>

#include "engine/iso2709/export_state.h"
#include "engine/iso2709/export_target.h"
#include "engine/facade_guard.h"
#include "engine/space.h"
#include "engine/vardo.h"

namespace vardo {

namespace {

int32_t Clamp32(int64_t v) { return v > INT32_MAX ? INT32_MAX : static_cast<int32_t>(v); }

}  // namespace

int32_t vardo_set_export_file(int32_t space, const char* path) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr) return VARDO_BAD_ARGUMENT;
    int32_t result = VARDO_OK;
    if (s->exporter) {
      // Closing reports a failed final write, which the destructor alone could not.
      if (!s->exporter->Close().ok()) result = VARDO_EXPORT_FAILED;
      s->exporter.reset();
    }
    if (path == nullptr || *path == '\0') return result;
    // Writing over a file of the database would destroy it while it is read.
    if (!s->db.mst_path().empty() &&
        !iso2709::FindOwnFile(path, iso2709::DatabaseFileNames(s->db.base_path(), s->db.mst_path(),
                                                               s->db.xrf_path()))
             .empty()) {
      return VARDO_EXPORT_OWN_FILE;
    }
    Result<std::shared_ptr<ExportState>> opened = ExportState::Open(path);
    if (!opened.ok()) return VARDO_EXPORT_FAILED;
    s->exporter = std::move(opened.value());
    return result;
  });
}

int32_t vardo_discard_export(int32_t space) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr) return VARDO_BAD_ARGUMENT;
    if (s->exporter) {
      s->exporter->Discard();
      s->exporter.reset();
    }
    return VARDO_OK;
  });
}

int32_t vardo_export_text_as_subfield_a(int32_t space) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr) return VARDO_BAD_ARGUMENT;
    if (!s->exporter) return VARDO_EXPORT_FAILED;
    return Clamp32(s->exporter->text_given_subfield_a());
  });
}

int32_t vardo_export_record(int32_t space, int32_t buffer) {
  return FacadeGuarded(space, [&]() -> int32_t {
    Space* s = FindSpace(space);
    RecordBuffer* b = FindBuffer(s, buffer);
    if (b == nullptr) return VARDO_BAD_ARGUMENT;
    if (!s->exporter) return VARDO_EXPORT_FAILED;
    if (!b->loaded) return VARDO_BAD_ARGUMENT;
    if (b->record.fields.empty() && !b->is_new && b->record.mfn > 0 && s->EnsureOpen()) {
      // A read of an MFN that holds no record leaves an empty buffer; writing it
      // would put a record into the file that the database does not have.  Only
      // empty buffers are asked about, so the usual export costs no extra read.
      switch (s->db.State(b->record.mfn)) {
        case XrefState::kUnused:
          return VARDO_UNUSED;
        case XrefState::kPurged:
          return VARDO_PURGED;
        case XrefState::kDamaged:
          return VARDO_DAMAGED;
        default:
          break;
      }
    }
    Status st = s->exporter->Add(b->record, nullptr);
    if (st.ok()) return VARDO_OK;
    return st.IsTooLarge() ? VARDO_EXPORT_TOO_LARGE : VARDO_EXPORT_FAILED;
  });
}

int32_t vardo_set_export_options(int32_t space, int32_t options) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    const int32_t encodings = VARDO_EXPORT_UTF8 | VARDO_EXPORT_LATIN1 | VARDO_EXPORT_CP1252;
    if (s == nullptr || (options & ~(VARDO_EXPORT_MARC | VARDO_EXPORT_BUFFERED | encodings)) != 0) {
      return VARDO_BAD_ARGUMENT;
    }
    const int32_t enc_bits = options & encodings;
    if ((enc_bits & (enc_bits - 1)) != 0) return VARDO_BAD_ARGUMENT;  // more than one
    if (!s->exporter) return VARDO_EXPORT_FAILED;
    using Encoding = iso2709::TextDecoder::Encoding;
    const Encoding encoding = enc_bits == VARDO_EXPORT_UTF8     ? Encoding::kUtf8
                              : enc_bits == VARDO_EXPORT_LATIN1 ? Encoding::kLatin1
                              : enc_bits == VARDO_EXPORT_CP1252 ? Encoding::kCp1252
                                                                : Encoding::kCp850;
    s->exporter->set_layout(
        (options & VARDO_EXPORT_MARC) ? iso2709::Layout::kMarc : iso2709::Layout::kPlain, encoding);
    s->exporter->set_buffered((options & VARDO_EXPORT_BUFFERED) != 0);
    return VARDO_OK;
  });
}

int32_t vardo_export_counts(int32_t space, int32_t words[4]) {
  return FacadeGuarded([&]() -> int32_t {
    Space* s = FindSpace(space);
    if (s == nullptr || words == nullptr) return VARDO_BAD_ARGUMENT;
    if (!s->exporter) return VARDO_EXPORT_FAILED;
    const ExportState& e = *s->exporter;
    words[0] = Clamp32(e.records_written());
    words[1] = Clamp32(e.fields_skipped());
    words[2] = Clamp32(e.records_refused());
    words[3] = Clamp32(static_cast<int64_t>(e.bytes_written() / 1024));
    return VARDO_OK;
  });
}

}  // namespace vardo

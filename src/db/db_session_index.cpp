// CDbSession: the inverted-file operations (attach, create, update one
// record, list keys, read postings).
//
// Keys travel in 32-byte buffers, as the program's key buffers are: a key or
// from-key longer than 31 bytes is cut to 31 bytes here, and the engine then
// cuts every key to its 30-byte limit (upper-casing it too), so a long key
// finds the stored key made from the same text.
//
// Where the cursor stands after positioning (engine/index/term_cursor.h):
// the first read returns the positioned key itself when it exists, so
// ListTermRange returns from..to inclusive.
#include <cstring>
#include <string>
#include <vector>

#include "db/db_session.h"
#include "engine/vardo.h"

namespace bramble {

namespace {

// The key as it would sit in a 32-byte buffer: at most 31 bytes, and ending
// at the first zero byte as a C string does.
std::string KeyBuffer(const std::string& key) {
  char buf[kKeyBufferSize] = {};
  std::strncpy(buf, key.c_str(), kKeyBufferSize - 1);
  return std::string(buf);
}

// Attaches the inverted file at path for a listing: 0, VARDO_DAMAGED when the
// file is there but damaged (nothing of it can be read), or another negative
// code the listing's own reads will report again (a missing file lists nothing).
int32_t AttachForListing(int32_t space, const std::string& path) {
  const int32_t r = vardo::vardo_set_inverted_file(space, path.c_str());
  return r == vardo::VARDO_DAMAGED ? r : 0;
}

}  // namespace

bool CDbSession::IsDamagedIndex(int32_t result) { return result == vardo::VARDO_DAMAGED; }

int32_t CDbSession::PrepareInvertedFile(const std::string& path) {
  if (NewSpace() <= 0) return vardo::VARDO_BAD_ARGUMENT;
  const std::string at = "@" + path;
  (void)vardo::vardo_set_field_select_table(space_, at.c_str());
  (void)vardo::vardo_set_stopword_table(space_, at.c_str());
  int32_t r = vardo::vardo_set_inverted_file(space_, path.c_str());
  if (r != 0) r = vardo::vardo_create_inverted_file(space_);
  return r;
}

int32_t CDbSession::UpdateIndexForRecord(const std::string& /*path*/, int32_t mfn) {
  return vardo::vardo_update_index(space_, mfn);
}

int32_t CDbSession::RebuildInvertedFile() { return vardo::vardo_rebuild_inverted_file(space_); }

int32_t CDbSession::ListTerms(const std::string& path, std::vector<std::string>* list) {
  if (NewSpace() <= 0) return vardo::VARDO_BAD_ARGUMENT;
  if (const int32_t a = AttachForListing(space_, path); a < 0) return a;
  vardo::vardo_term_reset(space_, 0, 0);
  char term[kKeyBufferSize];
  int32_t r;
  while ((r = vardo::vardo_term_next(space_, 0, term)) == 0) list->emplace_back(term);
  return r;
}

int32_t CDbSession::ListTermRange(const std::string& path, const std::string& from,
                                  const std::string& to, std::vector<std::string>* list) {
  if (NewSpace() <= 0) return vardo::VARDO_BAD_ARGUMENT;
  if (const int32_t a = AttachForListing(space_, path); a < 0) return a;
  const std::string key = KeyBuffer(from);
  vardo::vardo_term_reset(space_, 0, 0);
  (void)vardo::vardo_term_position(space_, 0, key.c_str());
  char term[kKeyBufferSize];
  int32_t r;
  while ((r = vardo::vardo_term_next(space_, 0, term)) == 0) {
    // Byte-wise, as unsigned bytes (strcmp compares that way).
    if (std::strcmp(term, to.c_str()) > 0) return 0;
    list->emplace_back(term);
  }
  return r;
}

int32_t CDbSession::GetPostings(const std::string& path, const std::string& key,
                                std::vector<int32_t>* mfns) {
  mfns->clear();
  if (NewSpace() <= 0) return vardo::VARDO_BAD_ARGUMENT;
  if (const int32_t a = AttachForListing(space_, path); a < 0) return a;
  const std::string k = KeyBuffer(key);
  const int32_t n = vardo::vardo_term_position(space_, 0, k.c_str());
  if (n <= 0) return n;
  mfns->resize(static_cast<size_t>(n));
  const int32_t got = vardo::vardo_term_postings(space_, 0, 1, n, mfns->data());
  mfns->resize(got > 0 ? static_cast<size_t>(got) : 0);
  return n;
}

namespace {

void ForwardPostings(void* ctx, const int32_t* words, int32_t count) {
  (*static_cast<const CDbSession::PostingSink*>(ctx))(words, count);
}

}  // namespace

int32_t CDbSession::SearchPostings(const std::string& term, bool prefix,
                                   const PostingSink& sink) {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  return vardo::vardo_search_postings(space_, term.data(), static_cast<int32_t>(term.size()),
                                      prefix ? 1 : 0, ForwardPostings,
                                      const_cast<PostingSink*>(&sink));
}

bool CDbSession::HasInvertedFile() {
  return SearchPostings(std::string(), false, [](const int32_t*, int32_t) {}) >= 0;
}

int32_t CDbSession::KeepActiveRecords(std::vector<int32_t>* mfns) {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  const int32_t kept = vardo::vardo_search_keep_active(space_, mfns->data(),
                                                       static_cast<int32_t>(mfns->size()));
  if (kept < 0) return kept;
  mfns->resize(static_cast<size_t>(kept));
  return 0;
}

int32_t CDbSession::PendingIndexUpdates() {
  if (space_ <= 0) return vardo::VARDO_NO_DATABASE;
  return vardo::vardo_search_pending(space_);
}

}  // namespace bramble

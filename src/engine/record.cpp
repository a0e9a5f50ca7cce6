#include "engine/record.h"

namespace vardo {

int Record::OccCount(int32_t tag) const {
  CountFieldsScanned(fields.size());
  int n = 0;
  for (const Field& f : fields) n += (f.tag == tag);
  return n;
}

int Record::IndexOf(int32_t tag, int occ) const {
  if (occ < 1) return -1;
  int seen = 0;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].tag == tag && ++seen == occ) {
      CountFieldsScanned(i + 1);
      return static_cast<int>(i);
    }
  }
  CountFieldsScanned(fields.size());
  return -1;
}

const std::string* Record::Find(int32_t tag, int occ) const {
  int i = IndexOf(tag, occ);
  return i < 0 ? nullptr : &fields[static_cast<size_t>(i)].text;
}

}  // namespace vardo

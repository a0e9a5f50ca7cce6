// Shared helpers of the benchmarks: timing, the work folder, a realistic
// bibliographic record generator, and the plain-copy yardstick that makes each
// figure a ratio comparable across machines.
#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace bench {

inline double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Number of records, from BENCH_RECORDS (default 1,000,000).
inline long RecordCount() {
  const char* e = std::getenv("BENCH_RECORDS");
  long n = e ? std::atol(e) : 1000000;
  return n > 0 ? n : 1000000;
}

inline std::string WorkDir() {
  const char* e = std::getenv("BENCH_DIR");
  std::string d = e ? e : "/tmp";
  return d;
}

// Seconds one plain copy of src takes (read + write through the page cache,
// the same path the engine's files take), measured now.
inline double CopySecondsOnce(const std::string& src) {
  const std::string dst = src + ".copy";
  double t0 = Now();
  int in = ::open(src.c_str(), O_RDONLY);
  int out = ::open(dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  std::vector<char> buf(1 << 20);
  ssize_t n;
  while (in >= 0 && out >= 0 && (n = ::read(in, buf.data(), buf.size())) > 0) {
    if (::write(out, buf.data(), static_cast<size_t>(n)) != n) break;
  }
  if (in >= 0) ::close(in);
  if (out >= 0) ::close(out);
  double t = Now() - t0;
  ::unlink(dst.c_str());
  return t;
}

// The yardstick printed beside a run: the fastest of three copies, each after
// a sync, so that neither the writeback of the case before nor one slow copy
// decides the ratio.
inline double CopySeconds(const std::string& src) {
  double best = 0;
  for (int round = 0; round < 3; ++round) {
    ::sync();
    const double t = CopySecondsOnce(src);
    if (round == 0 || t < best) best = t;
  }
  return best;
}

inline long FileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

inline void Report(const char* what, long records, double seconds, double copy_seconds) {
  std::printf(
      "%-34s %9ld records %8.2f s %12.0f records/s   (cp of the master file: %.2f s, ratio "
      "%.1fx)\n",
      what, records, seconds, records / seconds, copy_seconds,
      copy_seconds > 0 ? seconds / copy_seconds : 0.0);
  std::fflush(stdout);
}

// About 1 KB in 15 fields, shaped like a catalogue record.
inline std::vector<std::pair<int, std::string>> SampleRecord(long i) {
  const std::string n = std::to_string(i);
  return {
      {1, "BIB" + n},
      {8, "201" + std::to_string(i % 10) + "0101s2010    xx a          000 0 eng d"},
      {20, "^a978" + std::to_string(1000000000 + i) + "^qpaperback"},
      {40, "^aXX-LIB^beng^cXX-LIB"},
      {100, "^aAuthor" + n + ", Firstname^d1950-"},
      {245, "^aA study of bibliographic record number " + n +
                " and its many relations^bwith notes on cataloguing practice^cby Author" + n},
      {250, "^a" + std::to_string(1 + i % 5) + "nd edition"},
      {260, "^aMadrid^bEditorial Ejemplo^c" + std::to_string(1950 + i % 70)},
      {300, "^a" + std::to_string(100 + i % 700) + " p.^bill.^c24 cm"},
      {490, "^aSeries on library science^v" + std::to_string(i % 90)},
      {500,
       "^aIncludes bibliographical references (p. 201-215) and index. A general note "
       "that is long enough to look like the notes real catalogues carry."},
      {520,
       "^aAn abstract describing the contents of the work in a few sentences, as a "
       "cataloguer would write it for the public catalogue. It covers methods, sources "
       "and conclusions, with enough words to make the record realistic in size."},
      {650, "^aCataloging^xData processing^vCase studies " + std::to_string(i % 50)},
      {650, "^aBibliographic databases^zSpain"},
      {700, "^aSecondauthor" + std::to_string(i % 1000) + ", Name^eeditor"},
  };
}

}  // namespace bench

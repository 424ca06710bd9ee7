// Payload benchmark (not a test): makes a large payload once (about 200 MB decompressed, about
// 2,000 files of mixed compressibility, built by ovpack into the build tree) and a 1 MB one,
// then measures in the same run, on the same archive:
//   verify_payload  against  bzip2 -t          (speed ratio; goal: at least 0.95)
//   extract_payload against  bzip2 -dc > file  (time ratio; goal: at most 1.2)
//   the peak memory of an extraction of the 1 MB and of the 200 MB payload, each in a fresh
//   process (goal: independent of the payload's size), and of a 200 MB payload of only 20
//   files, which separates the size of the data from the size of the header.
// Each timing is the best of several rounds (--rounds N, default 3).
#include "payload/extract.hpp"
#include "payload/file_stream.hpp"
#include "payload/payload_extractor.hpp"

#include <boost/filesystem.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = boost::filesystem;

namespace {

const fs::path bench_dir = OV_BENCH_DIR;

struct rng {
  std::uint64_t state;
  std::uint32_t next()
  {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state >> 33);
  }
};

// One file's bytes: text (compresses well), noise (does not), or records with a little noise.
std::string file_content(std::size_t index, std::size_t size)
{
  static const char* words[] = {"payload", "archive", "vestrilo", "texture", "module", "sample", "orvane",
                                "drey",    "install", "language", "window",  "folder", "stream", "entry"};
  rng r{index * 7919 + 17};
  std::string bytes;
  bytes.reserve(size + 64);
  switch (index % 3) {
  case 0:
    while (bytes.size() < size) {
      bytes += words[r.next() % 14];
      bytes += (r.next() % 11 == 0) ? '\n' : ' ';
    }
    break;
  case 1:
    while (bytes.size() < size) {
      const std::uint32_t v = r.next();
      bytes.append(reinterpret_cast<const char*>(&v), 4);
    }
    break;
  default:
    for (std::uint32_t record = 0; bytes.size() < size; ++record) {
      char line[64];
      std::snprintf(line, sizeof line, "record %08u value %04u ", record, r.next() % 10000);
      bytes += line;
      const std::uint32_t v = r.next();
      bytes.append(reinterpret_cast<const char*>(&v), 4);
    }
  }
  bytes.resize(size);
  return bytes;
}

int run(const std::string& command)
{
  const int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string quoted(const fs::path& path)
{
  return "'" + path.string() + "'";
}

// Writes the files and the manifest of a payload of `files` files of about `total` bytes and
// builds it with ovpack, unless that was done before.
fs::path make_payload(const std::string& name, std::size_t files, std::uint64_t total)
{
  const fs::path folder = bench_dir / name;
  const fs::path archive = folder / "bench.payload";
  if (fs::exists(archive))
    return archive;
  std::printf("making the %s payload (once) in %s\n", name.c_str(), folder.string().c_str());
  std::fflush(stdout);
  fs::remove_all(folder);
  fs::create_directories(folder / "content");
  std::ofstream manifest((folder / "content" / "manifest.txt").string(), std::ios::binary);
  rng r{files};
  const std::uint64_t average = total / files;
  for (std::size_t i = 0; i < files; ++i) {
    const std::size_t size = static_cast<std::size_t>(average / 5 + r.next() % (average * 8 / 5));
    const std::string relative = "d" + std::to_string(i / 100) + "/f" + std::to_string(i) + ".bin";
    fs::create_directories((folder / "content" / relative).parent_path());
    std::ofstream file((folder / "content" / relative).string(), std::ios::binary);
    const std::string bytes = file_content(i, size);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    manifest << (i % 5) << "\t<InstallPath>\\d" << i / 100 << "\t" << relative << "\n";
  }
  manifest.close();
  const fs::path partial = folder / "bench.payload.partial";
  if (run(std::string(OVPACK_PATH) + " build " + quoted(folder / "content" / "manifest.txt") + " " + quoted(partial)) != 0) {
    std::fprintf(stderr, "ovpack build failed\n");
    std::exit(1);
  }
  fs::rename(partial, archive);
  return archive;
}

double seconds_of(const std::function<void()>& work)
{
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

bool extract(const fs::path& archive, const fs::path& out)
{
  ov::input_file_stream source(archive);
  return ov::extract_payload(source, out, out / "samples", out / "temp",
                             [](const ov::notification&) { return ov::notification::result::proceed; });
}

// The peak resident memory (KiB) of this process so far.
long own_peak_memory()
{
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0)
      return std::atol(line.c_str() + 6);
  return -1;
}

// Peak resident memory (KiB) of a fresh process (this program run again) that extracts
// `archive` into `out`. The child measures itself: a forked copy would inherit this process's
// memory figures.
long peak_memory_of_extraction(const fs::path& archive, const fs::path& out)
{
  const std::string command = quoted(fs::read_symlink("/proc/self/exe")) + " --extract " + quoted(archive) + " " + quoted(out);
  FILE* child = popen(command.c_str(), "r");
  long peak = -1;
  if (!child || std::fscanf(child, "%ld", &peak) != 1 || pclose(child) != 0 || peak <= 0) {
    std::fprintf(stderr, "the extraction child failed\n");
    std::exit(1);
  }
  return peak;
}

} // namespace

int main(int argc, char** argv)
{
  if (argc == 4 && std::string(argv[1]) == "--extract") { // the child of peak_memory_of_extraction
    if (!extract(argv[2], argv[3]))
      return 1;
    std::printf("%ld\n", own_peak_memory());
    return 0;
  }
  int rounds = 3;
  if (argc == 3 && std::string(argv[1]) == "--rounds")
    rounds = std::max(1, std::atoi(argv[2]));
  else if (argc != 1) {
    std::fprintf(stderr, "usage: payload_bench [--rounds N]\n");
    return 2;
  }

  const fs::path large = make_payload("large", 2000, 200ull << 20);
  const fs::path small = make_payload("small", 20, 1ull << 20);
  const fs::path large_few = make_payload("large-few-files", 20, 200ull << 20);
  const fs::path out = bench_dir / "out";
  const fs::path flat = bench_dir / "bzip2-dc.out";
  std::uint64_t decompressed = 0;
  {
    ov::input_file_stream source(large);
    fs::remove_all(out);
    ov::extract_payload(source, out, out / "samples", out / "temp", [&](const ov::notification& n) {
      if (auto f = n.get_if<ov::notification::finished>())
        decompressed = f->total;
      return ov::notification::result::proceed;
    });
  }
  std::printf("payload: %s, %.1f MB compressed, %.1f MB decompressed, 2000 files; best of %d rounds\n",
              large.string().c_str(), fs::file_size(large) / 1048576.0, decompressed / 1048576.0, rounds);

  // The rounds interleave the four measurements, so that a change of the machine's load
  // during the run affects each of them alike; each keeps its best round.
  double verify = 1e300, bzip2_test = 1e300, extraction = 1e300, bzip2_dc = 1e300;
  bool verified = true, extracted = true;
  for (int round = 0; round < rounds; ++round) {
    verify = std::min(verify, seconds_of([&] {
      ov::input_file_stream source(large);
      verified = ov::verify_payload(source) && verified;
    }));
    bzip2_test = std::min(bzip2_test, seconds_of([&] {
      if (run("bzip2 -t " + quoted(large)) != 0)
        std::exit(1);
    }));
    fs::remove_all(out);
    extraction = std::min(extraction, seconds_of([&] { extracted = extract(large, out) && extracted; }));
    bzip2_dc = std::min(bzip2_dc, seconds_of([&] {
      if (run("bzip2 -dc " + quoted(large) + " > " + quoted(flat)) != 0)
        std::exit(1);
    }));
  }
  std::printf("verify_payload   %7.2f s   bzip2 -t          %7.2f s   speed ratio %.2f (goal >= 0.95)%s\n", verify,
              bzip2_test, bzip2_test / verify, verified ? "" : "  VERIFY FAILED");
  std::printf("extract_payload  %7.2f s   bzip2 -dc > file  %7.2f s   time ratio  %.2f (goal <= 1.2)%s\n", extraction,
              bzip2_dc, extraction / bzip2_dc, extracted ? "" : "  EXTRACTION FAILED");
  fs::remove_all(out);
  fs::remove(flat);

  const long small_peak = peak_memory_of_extraction(small, out);
  fs::remove_all(out);
  const long large_peak = peak_memory_of_extraction(large, out);
  fs::remove_all(out);
  const long large_few_peak = peak_memory_of_extraction(large_few, out);
  fs::remove_all(out);
  std::printf("peak memory of an extraction: 1 MB payload (20 files) %.1f MiB, 200 MB payload (2000 files) %.1f MiB "
              "(ratio %.2f), 200 MB payload (20 files) %.1f MiB (ratio %.2f)\n",
              small_peak / 1024.0, large_peak / 1024.0, static_cast<double>(large_peak) / small_peak,
              large_few_peak / 1024.0, static_cast<double>(large_few_peak) / small_peak);
  return verified && extracted ? 0 : 1;
}

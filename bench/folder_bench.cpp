// The scan of the dictionary folder (1,000 files in nested folders) against a bare recursive
// listing of the same tree.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "bench/bench_data.h"
#include "plugin/lexor_peek.h"

namespace lexor::bench {
namespace {

void BM_FolderScan(benchmark::State& state) {
  setenv("HOME", benchData().treeHome.c_str(), 1);
  auto peek = LexorPeek::initWithWebView(nullptr);
  for (auto _ : state) {
    auto listed = peek->_dicPathsInDir();
    benchmark::DoNotOptimize(listed);
  }
  state.counters["listed"] = static_cast<double>(peek->_dicPathsInDir().size());
}
BENCHMARK(BM_FolderScan)->Unit(benchmark::kMicrosecond);

// The least a listing does: read every folder's names and go down into the sub-folders.
void listBare(int parentFd, const char* name, const std::string& prefix,
              std::vector<std::string>* out) {
  const int fd = openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  DIR* dir = fdopendir(fd);
  if (!dir) {
    close(fd);
    return;
  }
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.' && (e->d_name[1] == 0 || (e->d_name[1] == '.' && e->d_name[2] == 0)))
      continue;
    std::string relative = prefix.empty() ? e->d_name : prefix + "/" + e->d_name;
    if (e->d_type == DT_DIR) listBare(dirfd(dir), e->d_name, relative, out);
    out->push_back(std::move(relative));
  }
  closedir(dir);
}

void BM_BareRecursiveListing(benchmark::State& state) {
  const std::string folder = benchData().treeHome + "/Library/Lexor";
  size_t files = 0;
  for (auto _ : state) {
    std::vector<std::string> paths;
    listBare(AT_FDCWD, folder.c_str(), "", &paths);
    files = paths.size();
    benchmark::DoNotOptimize(paths);
  }
  state.counters["entries"] = static_cast<double>(files);
}
BENCHMARK(BM_BareRecursiveListing)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace lexor::bench

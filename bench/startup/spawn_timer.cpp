// Runs commands one after another and prints how long each took, from the spawn to the end of
// the wait, in nanoseconds: "NANOSECONDS STATUS" a line, in the order given. Each line of the
// input file is one command, its words separated by tabs. Output of the commands is discarded.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: lexor-spawn-timer COMMANDS-FILE\n";
    return 2;
  }
  std::ifstream in(argv[1]);
  std::vector<std::vector<std::string>> commands;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> words;
    std::stringstream split(line);
    for (std::string word; std::getline(split, word, '\t');) words.push_back(word);
    if (!words.empty()) commands.push_back(std::move(words));
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  for (const auto& words : commands) {
    std::vector<char*> args;
    for (const std::string& word : words) args.push_back(const_cast<char*>(word.c_str()));
    args.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
      waitpid(pid, &status, 0);
    }
    const auto end = std::chrono::steady_clock::now();
    std::printf("%lld %d\n",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::nanoseconds>(end - start).count()),
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  posix_spawn_file_actions_destroy(&actions);
  return 0;
}

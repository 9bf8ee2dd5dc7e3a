#include "check.h"

#include <cstdio>

namespace {

CheckGroup* first_group = nullptr;
int group_failures = 0;

}  // namespace

CheckRegistration::CheckRegistration(CheckGroup& group) {
  CheckGroup** link = &first_group;
  while (*link && (*link)->order <= group.order) link = &(*link)->next;
  group.next = *link;
  *link = &group;
}

void check_record(bool ok, const char* file, int line, const std::string& what) {
  if (ok) return;
  ++group_failures;
  const char* base = file;
  for (const char* p = file; *p; ++p) {
    if (*p == '/' || *p == '\\') base = p + 1;
  }
  std::printf("    FAILED %s:%d: %s\n", base, line, what.c_str());
  std::fflush(stdout);
}

void check_note(const std::string& text) {
  std::printf("    %s\n", text.c_str());
  std::fflush(stdout);
}

int check_failures_in_group() {
  return group_failures;
}

int check_run_all(const std::string& filter) {
  int passed = 0;
  int failed = 0;
  for (CheckGroup* g = first_group; g; g = g->next) {
    if (!filter.empty() && std::string(g->name).find(filter) == std::string::npos) continue;
    std::printf("[ RUN  ] %s\n", g->name);
    std::fflush(stdout);
    group_failures = 0;
    g->run();
    if (group_failures == 0) {
      ++passed;
      std::printf("[  OK  ] %s\n", g->name);
    } else {
      ++failed;
      std::printf("[ FAIL ] %s (%d failed checks)\n", g->name, group_failures);
    }
    std::fflush(stdout);
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  return failed;
}

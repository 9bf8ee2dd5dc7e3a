// A small check harness for the Windows test program: named groups of
// checks, each failure printed with its place, and a closing summary line
// "N passed, N failed" counted in groups.
#pragma once

#include <sstream>
#include <string>

struct CheckGroup {
  int order;  // groups run in this order
  const char* name;
  void (*run)();
  CheckGroup* next;
};

// Registers a group at static initialisation.
struct CheckRegistration {
  CheckRegistration(CheckGroup& group);
};

// Called by the macros below.
void check_record(bool ok, const char* file, int line, const std::string& what);
// Runs every group whose name contains filter (all when filter is empty) and
// prints the summary; returns the number of failed groups.
int check_run_all(const std::string& filter);
// Free text for the log of the running group.
void check_note(const std::string& text);
int check_failures_in_group();

#define CHECK_GROUP(ident, order, title)                          \
  static void ident();                                            \
  static CheckGroup ident##_group{order, title, &ident, nullptr}; \
  static CheckRegistration ident##_registration(ident##_group);   \
  static void ident()

#define CHECK(cond) check_record(static_cast<bool>(cond), __FILE__, __LINE__, #cond)

#define CHECK_EQ(actual, expected)                                                          \
  do {                                                                                      \
    const auto& check_a_ = (actual);                                                        \
    const auto& check_e_ = (expected);                                                      \
    std::ostringstream check_s_;                                                            \
    const bool check_ok_ = check_a_ == check_e_;                                            \
    if (!check_ok_) check_s_ << #actual << " is " << check_a_ << ", expected " << check_e_; \
    check_record(check_ok_, __FILE__, __LINE__, check_s_.str());                            \
  } while (0)

// Stops the current group when a precondition for the rest of it fails.
#define REQUIRE(cond)                                                  \
  do {                                                                 \
    const bool require_ok_ = static_cast<bool>(cond);                  \
    check_record(require_ok_, __FILE__, __LINE__, "required: " #cond); \
    if (!require_ok_) return;                                          \
  } while (0)

// The orthonormal Daubechies filter bank, orders 2 to 10.
#pragma once

#include "filter_state.h"

// Number of coefficients in the table: 4 + 6 + ... + 20.
constexpr int kDaubechiesTableSize = 108;
extern const double kDaubechiesTable[kDaubechiesTableSize];

// Throws a const char* message for an order outside 2..10, before touching
// the bank.
void set_daubechies(FilterState& state, int order);

// Fills the bank for an order in 2..10; false (bank untouched) otherwise.
bool build_daubechies(FilterBank& bank, int order);

/* SPDX-License-Identifier: BSD-2-Clause */
// frei0r's parameters, made from the rows of the parameter table that the
// frei0r face offers: the noise level, the settings text, then the rest in
// table order. Numbers become frei0r doubles, which
// hold 0..1: a row's value v travels as v / max (sigma as sigma / 50); a
// switch is frei0r's bool. Every other row travels as text, as a user writes it.
#pragma once

#include "parameters.h"

int frei0r_param_count();
// The row of frei0r parameter `index`, or null outside 0..count - 1.
const ParamDef* frei0r_param(int index);
// F0R_PARAM_DOUBLE, F0R_PARAM_BOOL (a switch, a double 0 or 1) or
// F0R_PARAM_STRING.
int frei0r_param_type(const ParamDef& p);
// What frei0r shows beside the name: the help on one line, with the scale of
// a double. A static text.
const char* frei0r_param_explanation(int index);

// A double row's value and frei0r's 0..1.
double frei0r_double_of(const ParamDef& p, double value);
double frei0r_value_of(const ParamDef& p, double frei0r_double);

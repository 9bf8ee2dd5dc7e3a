/* SPDX-License-Identifier: BSD-2-Clause */
// Identifiers of the configuration dialog and its controls. Read by the
// resource compiler as well as by the C++ code: plain defines only.
#ifndef ZOLTA_VDUB_RESOURCE_H
#define ZOLTA_VDUB_RESOURCE_H

#define IDD_FILTER_CONFIG 101

#define IDC_PREVIEW 9
#define IDC_VALUE_X0 1002
#define IDC_VALUE_Y0 1003
#define IDC_VALUE_X1 1004
#define IDC_VALUE_Y1 1005
#define IDC_VALUE_X2 1006
#define IDC_VALUE_Y2 1008
#define IDC_ENABLE 1009
#define IDC_SHOW_PLANE 1010
#define IDC_PLANE_Y 1011
#define IDC_PLANE_CB 1012
#define IDC_SLIDER_X0 1013
#define IDC_SLIDER_Y0 1014
#define IDC_SLIDER_X1 1015
#define IDC_SLIDER_Y1 1016
#define IDC_SLIDER_X2 1017
#define IDC_SLIDER_Y2 1018
#define IDC_LABEL_X0 1020
#define IDC_PLANE_CR 1021
#define IDC_MODE_NORMAL 1022
#define IDC_MODE_HIGH 1023
#define IDC_MODE_DIFF 1024
#define IDC_LABEL_Y0 1027
#define IDC_LABEL_X1 1028
#define IDC_LABEL_Y1 1030
#define IDC_LABEL_X2 1031
#define IDC_LABEL_Y2 1032

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif  // ZOLTA_VDUB_RESOURCE_H

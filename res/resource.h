/* Resource identifiers, shared by baudcalc.rc and the C++ code. */
#ifndef BAUDCALC_RES_RESOURCE_H
#define BAUDCALC_RES_RESOURCE_H

#define IDD_CALCULATOR 128
#define IDI_APP 128
#define IDB_LOGO 130

/* Controls. A control's tooltip is the string resource of the same number. */
#define IDC_FOSC 1001
#define IDC_BAUD 1002
#define IDC_BRGEN 1003
#define IDC_TCLK 1004
#define IDC_SMOD 1005
#define IDC_UART 1006
#define IDC_DATABITS 1007
#define IDC_ERROR 1008
#define IDC_CODE 1009
#define IDC_COPY 1010
#define IDC_GEN_ASM 1011
#define IDC_GEN_C 1012
#define IDC_LOGO 1013

#define IDC_FIRST_TOOL IDC_FOSC
#define IDC_LAST_TOOL IDC_LOGO

#endif

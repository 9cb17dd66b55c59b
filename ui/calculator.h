// The calculator window: its dialog procedure and the code pane.
#pragma once

#include <windows.h>

extern HINSTANCE g_hInstance;
extern HWND g_hToolTip;

// The maker's product document, opened by a click on the logo.
extern const char kMakerDocumentUrl[];

INT_PTR CALLBACK CalculatorDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);

// Appends printf-formatted text at the end of the code pane and scrolls it
// there; a null format empties the pane.
void AppendCode(HWND hDlg, const char* format, ...);

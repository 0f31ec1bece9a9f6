#pragma once
// Resource identifiers shared by the resource script and the code.

#define IDI_QUORVEL 1
// The theme packages are RCDATA resources 101..107 (theme 1..7).
#define IDR_THEME_PACKAGE_BASE 100

#pragma once
#define IDI_VARNU 1

// Resource numbers shared by quarnel.rc and the window's code.
#pragma once

#define IDI_QUARNEL 1

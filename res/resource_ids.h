#pragma once

#define IDI_KESTRANE 1

#pragma once

// The stable ABI of 3.9, so one build serves every later interpreter.
#ifndef Py_LIMITED_API
#define Py_LIMITED_API 0x03090000
#endif
#define PY_SSIZE_T_CLEAN
#include <Python.h>

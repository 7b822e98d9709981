#pragma once

#include "python_api.hpp"

#include <utility>

#include "python_error.hpp"

namespace quorvel::binding {

// A borrowed object: usable only while someone else holds a reference, and
// never released through this handle.
class PyHandle {
public:
    PyHandle() = default;
    // Implicit, so that objects the interpreter lends us pass as they are.
    PyHandle(PyObject* borrowed) noexcept : object_(borrowed) {}

    PyObject* get() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }

private:
    PyObject* object_ = nullptr;
};

// Owns one strong reference; releases it when it goes out of scope. The
// direction of every change of hands is named: steal takes over a new
// reference, borrow adds one of our own, release hands ours to the
// interpreter.
class PyRef {
public:
    PyRef() = default;

    // Takes over a new reference, which may be null.
    [[nodiscard]] static PyRef steal(PyObject* owned) noexcept { return PyRef(owned); }
    // Takes over the result of an interpreter call that returns null with an
    // exception set on failure.
    [[nodiscard]] static PyRef steal_or_throw(PyObject* owned) {
        if (owned == nullptr) throw PythonErrorSet{};
        return PyRef(owned);
    }
    // Holds a reference of its own to an object that someone else holds.
    [[nodiscard]] static PyRef borrow(PyHandle borrowed) noexcept {
        Py_XINCREF(borrowed.get());
        return PyRef(borrowed.get());
    }

    PyRef(const PyRef&) = delete;
    PyRef& operator=(const PyRef&) = delete;
    PyRef(PyRef&& other) noexcept : object_(other.release()) {}
    PyRef& operator=(PyRef&& other) noexcept {
        PyRef(std::move(other)).swap(*this);
        return *this;
    }
    ~PyRef() { Py_XDECREF(object_); }

    PyObject* get() const noexcept { return object_; }
    // Lends the object for as long as this reference lives.
    operator PyHandle() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    // Hands the reference to the interpreter, which then owns it.
    [[nodiscard]] PyObject* release() noexcept { return std::exchange(object_, nullptr); }
    void swap(PyRef& other) noexcept { std::swap(object_, other.object_); }

private:
    explicit PyRef(PyObject* owned) noexcept : object_(owned) {}

    PyObject* object_ = nullptr;
};

}  // namespace quorvel::binding

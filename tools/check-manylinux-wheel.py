"""Fails unless a repaired wheel is one a package index takes for Linux: its
tag is the manylinux tag that auditwheel derives from the module, nothing had
to be bundled, and the module needs no C++ runtime symbol versions (GLIBCXX,
CXXABI, GCC), only the C library's.

    python tools/check-manylinux-wheel.py WHEEL
"""

import json
import subprocess
import sys
from pathlib import Path


def problems(wheel, report):
    platform_tag = wheel.stem.rsplit("-", 1)[-1]
    if not platform_tag.startswith("manylinux_") or platform_tag != report["overall_tag"]:
        yield f"tagged {platform_tag}, but auditwheel finds {report['overall_tag']}"
    if report["external_libs"]:
        yield f"bundles or needs {sorted(report['external_libs'])}"
    for library, versions in report["versioned_symbols"].items():
        foreign = sorted(v for v in versions if not v.startswith("GLIBC_"))
        if foreign:
            yield f"needs {library} {foreign}"


def main():
    wheel = Path(sys.argv[1])
    shown = subprocess.run([sys.executable, "-m", "auditwheel", "show", "--json", str(wheel)],
                           check=True, capture_output=True, text=True)
    report = json.loads(shown.stdout)
    found = list(problems(wheel, report))
    for problem in found:
        print(f"{wheel.name}: {problem}", file=sys.stderr)
    if found:
        sys.exit(1)
    glibc = sorted({v for versions in report["versioned_symbols"].values() for v in versions},
                   key=lambda v: tuple(int(part) for part in v.removeprefix("GLIBC_").split(".")))
    print(f"{wheel.name}: {report['overall_tag']}, needs only {glibc[0]} .. {glibc[-1]}")


if __name__ == "__main__":
    main()

# Task runner. Entry points:
#   make run    install what is missing, build, decode a few minutes of simulated signal
#   make test   install what is missing, build linux, win32, win64 (and the TSan race
#               test), run every suite
#   make bench  install what is missing, build the benchmarks (Release), run them
# The real build is CMake (CMakePresets.json); this file only strings the steps together.

SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c
.ONESHELL:
.PHONY: run test bench

TEST_PRESETS := linux win32 win64 tsan
RUN_MINUTES := 4

run:
	@scripts/bootstrap.sh
	cmake --preset linux
	cmake --build --preset linux --target chronvk-signal chronvk-decode
	build/linux/tools/chronvk-signal --minutes $(RUN_MINUTES) | build/linux/tools/chronvk-decode

# Every preset is tried even after one fails, so the summary shows them all.
test:
	@scripts/bootstrap.sh
	summary=()
	failed=0
	passed_cases=0
	failed_cases=0
	for preset in $(TEST_PRESETS); do
	  echo "=== $$preset"
	  log="build/$$preset-ctest.log"
	  mkdir -p build
	  if ! cmake --preset "$$preset"; then
	    summary+=("$$preset: configure FAILED"); failed=1; continue
	  fi
	  if ! cmake --build --preset "$$preset"; then
	    summary+=("$$preset: build FAILED"); failed=1; continue
	  fi
	  # Each suite leaves a report in gtest-results/ beside it (GTEST_OUTPUT in
	  # the test presets); old reports would inflate the count.
	  find "build/$$preset" -name gtest-results -type d -prune -exec rm -rf {} +
	  if ctest --preset "$$preset" 2>&1 | tee "$$log"; then
	    result="passed"
	  else
	    result="FAILED"; failed=1
	  fi
	  suites="$$(grep -E 'tests passed|No tests were found' "$$log" | tail -n 1 || true)"
	  cases="$$(find "build/$$preset" -path '*/gtest-results/*.xml' -exec grep -ho '<testsuites tests="[0-9]*"' {} + |
	           grep -o '[0-9]*' | awk '{ n += $$1 } END { print n + 0 }' || true)"
	  bad="$$(find "build/$$preset" -path '*/gtest-results/*.xml' -exec grep -ho '<testsuites tests="[0-9]*" failures="[0-9]*"' {} + |
	         sed 's/.*failures="//; s/"//' | awk '{ n += $$1 } END { print n + 0 }' || true)"
	  passed_cases=$$((passed_cases + cases - bad))
	  failed_cases=$$((failed_cases + bad))
	  summary+=("$$preset: $$result, $$cases test cases; ctest: $$suites")
	done
	echo
	echo "=== summary"
	printf '  %s\n' "$${summary[@]}"
	[[ $$failed -eq 0 ]] || failed_cases=$$((failed_cases > 0 ? failed_cases : 1))
	echo "summary: $$passed_cases passed, $$failed_cases failed"
	exit $$failed

bench:
	@scripts/bootstrap.sh
	cmake --preset bench
	cmake --build --preset bench
	found=0
	for exe in build/bench/bench/*; do
	  if [[ -f "$$exe" && -x "$$exe" ]]; then
	    found=1
	    echo "=== $$exe"
	    "$$exe"
	  fi
	done
	if [[ $$found -eq 0 ]]; then
	  echo "no benchmark programs in build/bench/bench/" >&2
	  exit 1
	fi

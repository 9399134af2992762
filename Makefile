# Task runner. Entry points:
#   make run    install what the native build needs, build chronvk and run it on the simulated receiver
#   make test   install everything the tests need, build linux, win32, win64 (and the TSan race
#               test), run every suite
#   make bench  install the native toolchain and Google Benchmark, build the benchmarks (Release), run them
#   make run-windows  build chronvk.exe and run it under Wine on the simulated receiver (COM2=SIM):
#               on a desktop it shows the window; without one it runs under Xvfb and saves a
#               screenshot every 10 s under build/run-windows/
#   make deb    the Debian package in build/deb/, checked by lintian
#   make dist-windows  build/dist/chronvk-VERSION-win32.zip and -win64.zip
# The real build is CMake (CMakePresets.json); this file only strings the steps together.

SHELL := /bin/bash
.SHELLFLAGS := -eu -o pipefail -c
.ONESHELL:
.PHONY: run test bench run-windows deb dist-windows

TEST_PRESETS := linux win32 win64 tsan
DIST_PRESETS := win32 win64
RUN_DIR := build/run/demo

# chronvk with its settings and log in $(RUN_DIR): COM2, the default port, is
# the simulated receiver (so the clock is only pretended to be set), and "0 N"
# keeps it off the network. In a terminal the screen, otherwise headless lines;
# it ends by itself after the first setting.
run:
	@scripts/bootstrap.sh run
	cmake --preset run
	cmake --build --preset run --target chronvk
	mkdir -p $(RUN_DIR)
	[[ -f $(RUN_DIR)/chronvk.ini ]] || printf '[CHRONVK-PORTS]\nCOM2=SIM\n' > $(RUN_DIR)/chronvk.ini
	cd $(RUN_DIR) && ../ui/tui/chronvk --config chronvk.ini 0 N

# Every preset is tried even after one fails, so the summary shows them all.
# A suite that cannot run on this machine (an i686 one where the kernel runs no
# 32-bit code) is counted as skipped, with the reason its runner gave.
test:
	@scripts/bootstrap.sh test
	summary=()
	failed=0
	passed_cases=0
	failed_cases=0
	skipped=0
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
	  reports="$$(find "build/$$preset" -path '*/gtest-results/*.xml')"
	  # total ELEMENT ATTRIBUTE: the attribute summed over every report's ELEMENT tags.
	  total() { [[ -z "$$reports" ]] && { echo 0; return; }
	            grep -ho "<$$1 [^>]*>" $$reports | grep -o " $$2=\"[0-9]*\"" | grep -o '[0-9]*' |
	            awk '{ n += $$1 } END { print n + 0 }'; }
	  cases="$$(total testsuites tests)"
	  bad="$$(total testsuites failures)"
	  skipped_cases="$$(total testsuite skipped)"
	  skipped_suites="$$(grep -c '(Skipped)' "$$log" || true)"
	  passed_cases=$$((passed_cases + cases - bad - skipped_cases))
	  failed_cases=$$((failed_cases + bad))
	  skipped=$$((skipped + skipped_suites + skipped_cases))
	  line="$$preset: $$result, $$cases test cases; ctest: $$suites"
	  if [[ $$skipped_suites -gt 0 ]]; then
	    why="$$(grep -h -m 1 '^skipped: ' "build/$$preset/Testing/Temporary/LastTest.log" 2>/dev/null | sed 's/^skipped: //' || true)"
	    line+="; $$skipped_suites suites skipped ($${why:-see $$log})"
	  fi
	  summary+=("$$line")
	done
	# The package and the zips, made as `make deb` and `make dist-windows`
	# make them (the zips from the presets just built), then checked as a
	# user gets them. What a step could not do here it says as "skipped: ".
	for step in deb dist-windows; do
	  echo "=== $$step"
	  log="build/$$step-test.log"
	  status=0
	  if [[ $$step == deb ]]; then
	    { scripts/build-deb.sh build/deb &&
	      bash tests/dist/deb_test.sh build/deb/chronvk_*.deb; } 2>&1 | tee "$$log" || status=$$?
	  else
	    rm -f build/dist/*.zip
	    { scripts/dist-windows.sh build/dist $(DIST_PRESETS) &&
	      bash tests/dist/windows_zip_test.sh build/win64/wineprefix build/dist/*.zip; } 2>&1 |
	      tee "$$log" || status=$$?
	  fi
	  skips="$$(grep -h '^skipped: ' "$$log" | sed 's/^skipped: //' || true)"
	  if [[ $$status -eq 77 ]]; then
	    line="$$step: skipped ($$skips)"; skipped=$$((skipped + 1))
	  elif [[ $$status -eq 0 ]]; then
	    line="$$step: passed"; passed_cases=$$((passed_cases + 1))
	    if [[ -n "$$skips" ]]; then
	      line+="; skipped: $$(paste -sd ';' <<<"$$skips")"; skipped=$$((skipped + $$(wc -l <<<"$$skips")))
	    fi
	  else
	    line="$$step: FAILED (see $$log)"; failed=1; failed_cases=$$((failed_cases + 1))
	  fi
	  summary+=("$$line")
	done
	echo
	echo "=== summary"
	printf '  %s\n' "$${summary[@]}"
	[[ $$failed -eq 0 ]] || failed_cases=$$((failed_cases > 0 ? failed_cases : 1))
	echo "summary: $$passed_cases passed, $$failed_cases failed, $$skipped skipped"
	exit $$failed

# The 64-bit twin runs on every machine that runs Wine; WINDOWS_PRESET=win32
# runs the i686 program where the kernel runs 32-bit code.
WINDOWS_PRESET := win64
run-windows:
	@scripts/bootstrap.sh test
	cmake --preset $(WINDOWS_PRESET)
	cmake --build --preset $(WINDOWS_PRESET) --target chronvk
	scripts/run-windows.sh build/$(WINDOWS_PRESET)/ui/win32/chronvk.exe build/run-windows

# dpkg-buildpackage works on a copy of the tree in build/deb, so that all it
# makes stays there.
deb:
	@scripts/bootstrap.sh deb
	scripts/build-deb.sh build/deb

dist-windows:
	@scripts/bootstrap.sh windows
	for preset in $(DIST_PRESETS); do
	  cmake --preset $$preset
	  cmake --build --preset $$preset --target chronvk
	done
	scripts/dist-windows.sh build/dist $(DIST_PRESETS)

bench:
	@scripts/bootstrap.sh bench
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

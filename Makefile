# Entry points of the project; see README.md.
JOBS ?= $(shell nproc)
FUZZ_SECONDS ?= 60
# The seed of the shuffled whole-program test runs; SEED=<n> repeats one.
ifndef SEED
SEED := $(shell expr $$(date +%s) % 99999 + 1)
endif

.PHONY: run test test-tsan bench fuzz deps clean

# Plays the game: a Release build in build/run, the game directory made there
# (build/run/game_data: the executable beside DATA/ and maze.cfg), and the game
# started from it in a window, with sound and music on the desktop's own video
# and audio drivers (the tests' dummy drivers are dropped from the
# environment).
run:
	scripts/install-deps run
	cmake -S . -B build/run -G Ninja -DCMAKE_BUILD_TYPE=Release -DTALVO_TESTS=OFF
	cmake --build build/run -j $(JOBS) --target game_dir
	cd build/run/game_data && env -u SDL_VIDEODRIVER -u SDL_AUDIODRIVER ./maze

test:
	scripts/install-deps test
	cmake -S . -B build/test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTALVO_SANITIZE=ON -DTALVO_WERROR=ON -DTALVO_TESTS=ON
	cmake --build build/test -j $(JOBS)
	@echo "make test: the shuffled runs use seed $(SEED) (make test SEED=$(SEED) repeats them)"
	cd build/test && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy GTEST_RANDOM_SEED=$(SEED) \
	  ctest --output-on-failure -j $(JOBS)
	$(MAKE) test-tsan SEED=$(SEED)

# The threaded tests again under ThreadSanitizer: the test programs whose
# talvo_test call says TSAN, in a tree of their own, run by their labels
# (TSAN_LABELS; the threaded issues add theirs). Address randomisation is
# switched off where the system allows it (older ThreadSanitizer runtimes
# cannot map their shadow memory beside a fully randomised layout).
TSAN_LABELS := platform-audio|sound-channels|sound-api|platform-midi|midi
test-tsan:
	scripts/install-deps test
	cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
	  -DTALVO_TSAN=ON -DTALVO_WERROR=ON -DTALVO_TESTS=ON
	cmake --build build/tsan -j $(JOBS) --target talvo_tsan
	cd build/tsan && SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy GTEST_RANDOM_SEED=$(SEED) \
	  $$(setarch -R true 2>/dev/null && echo setarch -R) ctest --output-on-failure -j $(JOBS) \
	  -L '$(TSAN_LABELS)'

bench:
	scripts/install-deps bench
	cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DTALVO_TESTS=OFF -DTALVO_BENCH=ON
	cmake --build build/bench -j $(JOBS)
	@set -e; for b in build/bench/bench/bench_*; do \
	  [ -x "$$b" ] || continue; echo "== $$b"; \
	  SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy "$$b"; done

fuzz:
	scripts/install-deps fuzz
	CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTALVO_TESTS=OFF -DTALVO_FUZZ=ON
	cmake --build build/fuzz -j $(JOBS)
	@set -e; for f in build/fuzz/fuzz/fuzz_*; do \
	  [ -x "$$f" ] || continue; name=$$(basename $$f); \
	  if [ ! -d fuzz/corpus/$${name#fuzz_} ]; then echo "== $$name: no target of that name now; skipped"; continue; fi; \
	  mkdir -p build/fuzz/corpus/$$name; echo "== $$name ($(FUZZ_SECONDS) s)"; \
	  "$$f" -max_total_time=$(FUZZ_SECONDS) -print_final_stats=1 \
	    build/fuzz/corpus/$$name fuzz/corpus/$${name#fuzz_}; done

deps:
	scripts/install-deps test

clean:
	rm -rf build

# Convenience front end over CMake. `make run` builds the program alone and starts it; `make
# test` builds everything (the program, barbershop-trace, the variants and the tests) and runs
# every test; `make trace` (and plain `make`) builds the program, barbershop-trace and the
# variants without the tests. Builds print one line per target as it starts and as it is built,
# and the compiler's output only when a build fails (scripts/build.sh). WERROR=ON turns compiler
# warnings into errors. `make package` builds the Debian package in PACKAGE_BUILD, with Debian's
# hardening flags, both programs and the variants. `make bench` builds both programs in BUILD and
# measures the program's timing fidelity, overhead and footprint, alone and through
# barbershop-trace (bench/).

BUILD ?= build
PACKAGE_BUILD ?= build-package
WERROR ?= OFF
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# $(call quietly,DIR,TARGETS): builds TARGETS (or everything) in DIR, one line per target.
quietly = scripts/build.sh $(1) $(JOBS) $(2)

.PHONY: all build trace run test package bench clean

all: trace

# What a teacher uses: the program, barbershop-trace, the variants and the manual pages that
# `cmake --install` puts in place; no GoogleTest.
trace:
	@scripts/deps.sh --trace
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) -DBARBERSHOP_TRACE=ON >/dev/null
	@$(call quietly,$(BUILD),programs)
	@echo "Built $(BUILD)/barbershop, $(BUILD)/barbershop-trace and the variants in $(BUILD)/variants/"

# Everything, as `make test` builds it.
build:
	@scripts/deps.sh
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) -DBARBERSHOP_TESTS=ON \
	  -DBARBERSHOP_TRACE=ON >/dev/null
	@$(call quietly,$(BUILD))

# Only the program: no GoogleTest and none of barbershop-trace's libraries are needed.
run:
	@scripts/deps.sh --run
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) >/dev/null
	@$(call quietly,$(BUILD),barbershop)
	@./$(BUILD)/barbershop

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

package:
	@scripts/deps.sh dpkg-dev file
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	  cmake -S . -B $(PACKAGE_BUILD) -DBARBERSHOP_TESTS=OFF -DBARBERSHOP_TRACE=ON \
	    -DBARBERSHOP_WERROR=$(WERROR) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/barbershop_*.deb

bench:
	@scripts/deps.sh
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) -DBARBERSHOP_TRACE=ON >/dev/null
	@$(call quietly,$(BUILD),barbershop barbershop-trace)
	@python3 bench/bench.py $(BUILD)/barbershop $(BUILD)/bench --trace $(BUILD)/barbershop-trace

clean:
	rm -rf $(BUILD)

# Convenience front end over CMake. `make run` builds and starts the program; `make test`
# builds it and runs every test. WERROR=ON turns compiler warnings into errors. `make package`
# builds the Debian package in PACKAGE_BUILD, with Debian's hardening flags. `make bench`
# builds the program in BUILD and measures its timing fidelity, overhead and footprint (bench/).

BUILD ?= build
PACKAGE_BUILD ?= build-package
WERROR ?= OFF
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test package bench clean

all: build

build:
	@scripts/deps.sh
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/barbershop

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

package:
	@scripts/deps.sh dpkg-dev file
	@export DEB_BUILD_MAINT_OPTIONS=hardening=+all && \
	  cmake -S . -B $(PACKAGE_BUILD) -DBARBERSHOP_TESTS=OFF -DBARBERSHOP_WERROR=$(WERROR) \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_FLAGS="$$(dpkg-buildflags --get CPPFLAGS) $$(dpkg-buildflags --get CXXFLAGS)" \
	    -DCMAKE_EXE_LINKER_FLAGS="$$(dpkg-buildflags --get LDFLAGS)" >/dev/null
	@cmake --build $(PACKAGE_BUILD) -j $(JOBS)
	@cd $(PACKAGE_BUILD) && cpack -G DEB
	@ls $(PACKAGE_BUILD)/barbershop_*.deb

bench:
	@scripts/deps.sh
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target barbershop
	@python3 bench/bench.py $(BUILD)/barbershop $(BUILD)/bench

clean:
	rm -rf $(BUILD)

# Convenience front end over CMake. `make run` builds and starts the program; `make test`
# builds it and runs every test. WERROR=ON turns compiler warnings into errors.

BUILD ?= build
WERROR ?= OFF
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test clean

all: build

build:
	@scripts/deps.sh
	@cmake -S . -B $(BUILD) -DBARBERSHOP_WERROR=$(WERROR) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@./$(BUILD)/barbershop

test: build
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)

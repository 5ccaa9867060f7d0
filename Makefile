# Two commands do all the set-up on a fresh Debian 12 machine:
#   make demo   installs what is missing, builds, creates the example database and checks declaration 12
#   make test   installs what is missing, builds and runs the tests
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build demo test sanitize fuzz bench bench-janela pacote instalacao capturas mutacao clean

all: build

deps:
	./scripts/instala-dependencias.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	rm -f $(BUILD)/exemplo.db
	$(BUILD)/bin/kvconsistencia exemplo $(BUILD)/exemplo.db
	$(BUILD)/bin/kvconsistencia verificar --banco $(BUILD)/exemplo.db --declaracao 12 --exercicio 2002 || test $$? -eq 1

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# The whole test suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B build-san -G Ninja -DKV_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
	cmake --build build-san -j $(JOBS)
	cd build-san && ctest --output-on-failure -j $(JOBS)

fuzz:
	./scripts/instala-dependencias.sh fuzz
	./tests/fuzz/executa.sh

bench: build
	$(BUILD)/bin/kv_bench

# The desktop program's main window over 1,000 files of 50 declarations, against lote (bench/README.md).
bench-janela: build
	$(BUILD)/bin/kv_bench_janela

# The README's pictures: the control (offscreen) and the HTML report (headless Chromium).
capturas: build
	$(BUILD)/bin/kv_capturas docs
	./scripts/instala-dependencias.sh navegador
	bash tests/navegador/relatorio.sh $(BUILD)/bin/kvconsistencia docs/relatorio.png

# Plants each fault of tests/mutacoes.txt in turn and reports which ones the tests catch.
mutacao: deps
	./tests/mutacao.sh

# The .deb (build/kvcptconsistencia_*.deb), with its dependencies computed from the binaries.
pacote: build
	cd $(BUILD) && cpack

# What a host meets: install, build examples/host against the installed package, the .deb.
instalacao: build
	./scripts/verifica-instalacao.sh $(BUILD)

clean:
	rm -rf $(BUILD) build-san build-fuzz

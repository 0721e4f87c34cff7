# Entry points for a fresh Debian machine.
.PHONY: test deps native win clean

# Installs what is missing, builds both targets, runs all suites.
test: deps
	tools/run-tests.sh

deps:
	tools/install-deps.sh

clean:
	rm -rf build

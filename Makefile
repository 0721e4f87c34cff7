# Entry points for a fresh Debian machine.
.PHONY: test deps run demo clean

# Installs what is missing, builds both targets, runs all suites.
test: deps
	tools/run-tests.sh

deps:
	tools/install-deps.sh

# Builds Tarnwick2.exe and runs it under Wine on this display, with the user's settings.
run: deps
	tools/run-program.sh

# The same with a local demo FTP server and a demo account as the current one; installs only
# what the demo needs.
demo:
	tools/install-deps.sh demo
	tools/run-program.sh demo

clean:
	rm -rf build

# A picture of the main window (docs/mainwindow.png), taken under a virtual X server.
.PHONY: screenshot
screenshot: build
	@$(call ensure_packages,xvfb xauth x11-utils imagemagick)
	tools/screenshot.sh $(BUILD) docs/mainwindow.png

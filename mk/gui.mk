# A picture of the main window (docs/mainwindow.png), taken under a virtual X server.
.PHONY: screenshot
screenshot: build
	tools/screenshot.sh $(BUILD) docs/mainwindow.png

# make demo: rips a generated demo disc, looking its titles up on our own CDDB server on loopback,
# then a second disc that only the MusicBrainz stand-in (also on loopback) knows.
# make demo-server: serves the demo disc's entry in the foreground until interrupted.
DEMO_DIR ?= $(BUILD)/demo
DEMO_ADDRESS ?= 127.0.0.2
DEMO_PORT ?= 8880
DEMO_DISC = $(DEMO_DIR)/Vesk Demo Disc
DEMO_SERVER = $(BUILD)/tools/cddbserver/vesk-cddb-server
DEMO_MB_DISC = $(DEMO_DIR)/Vesk MusicBrainz Disc
DEMO_MB_SERVER = $(BUILD)/tools/musicbrainzserver/vesk-musicbrainz-server
# vesk-rip sits beside the build tree's resources; expanded when the recipe runs, after the build.
DEMO_RIP ?= $(firstword $(wildcard $(BUILD)/vesk-rip $(BUILD)/tools/vesk-rip/vesk-rip) $(BUILD)/vesk-rip)

.PHONY: demo demo-disc demo-server

demo-disc:
	rm -rf "$(DEMO_DIR)"
	mkdir -p "$(DEMO_DIR)/output"
	@echo "Demo disc id: $$(tools/make-demo-disc/make-demo-disc "$(DEMO_DISC)" "$(DEMO_DIR)/cddb")"
	@echo "MusicBrainz demo disc: $$(tools/musicbrainzserver/make-demo-release "$(DEMO_MB_DISC)" "$(DEMO_DIR)/musicbrainz")"

demo: build demo-disc
	@test -x "$(DEMO_RIP)" || { echo "demo: $(DEMO_RIP) has not been built"; exit 1; }
	@set -e; \
	rm -f "$(DEMO_DIR)/server.port" "$(DEMO_DIR)/musicbrainz.port"; \
	"$(DEMO_SERVER)" --address $(DEMO_ADDRESS) --port $(DEMO_PORT) --port-file "$(DEMO_DIR)/server.port" \
	    "$(DEMO_DIR)/cddb" & server=$$!; \
	"$(DEMO_MB_SERVER)" --address $(DEMO_ADDRESS) --port 0 --port-file "$(DEMO_DIR)/musicbrainz.port" \
	    "$(DEMO_DIR)/musicbrainz" & mbserver=$$!; \
	trap 'kill $$server $$mbserver 2>/dev/null; wait $$server $$mbserver 2>/dev/null || true' EXIT; \
	for i in $$(seq 50); do [ -s "$(DEMO_DIR)/server.port" ] && [ -s "$(DEMO_DIR)/musicbrainz.port" ] && break; \
	    kill -0 $$server 2>/dev/null || { echo "demo: the CDDB server did not start"; exit 1; }; \
	    kill -0 $$mbserver 2>/dev/null || { echo "demo: the MusicBrainz stand-in did not start"; exit 1; }; sleep 0.1; done; \
	[ -s "$(DEMO_DIR)/server.port" ] || { echo "demo: the CDDB server is not listening"; exit 1; }; \
	[ -s "$(DEMO_DIR)/musicbrainz.port" ] || { echo "demo: the MusicBrainz stand-in is not listening"; exit 1; }; \
	musicbrainz=http://$(DEMO_ADDRESS):$$(cat "$(DEMO_DIR)/musicbrainz.port"); \
	"$(DEMO_RIP)" --server $(DEMO_ADDRESS) --musicbrainz-url $$musicbrainz --output "$(DEMO_DIR)/output" \
	    --id3-tags "$(DEMO_DISC)"; \
	echo "A disc the CDDB server does not know, found at MusicBrainz ($$musicbrainz):"; \
	"$(DEMO_RIP)" --server $(DEMO_ADDRESS) --musicbrainz-url $$musicbrainz --output "$(DEMO_DIR)/output" \
	    --id3-tags "$(DEMO_MB_DISC)"; \
	echo "Demo output in $(DEMO_DIR)/output:"; find "$(DEMO_DIR)/output" -type f | sort

demo-server: build demo-disc
	"$(DEMO_SERVER)" --address $(DEMO_ADDRESS) --port $(DEMO_PORT) "$(DEMO_DIR)/cddb"

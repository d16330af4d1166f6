-- The Ardour session half of scripts/check-ardour; run by ardour7-lua, never
-- on its own (check-ardour prepares the plug-in cache, the export preset and
-- a private HOME first, and judges the exported files afterwards).
--
--   ardour7-lua check-ardour.lua wet VST_DIR SESSION_DIR EXPORT_DIR SECONDS TEMPO PRESET_ID [vst2|lv2]
--   ardour7-lua check-ardour.lua dry VST_DIR SESSION_DIR EXPORT_DIR SECONDS TEMPO PRESET_ID [vst2|lv2]
-- With lv2 TeskDelay is the LV2 plug-in of LV2_PATH, which must show 2 audio
-- inputs and 6 outputs.
--
-- "wet", in a new headless session on the "None (Dummy)" back end:
--   1. records SECONDS (+ a little) of the back end's "Engine Pulse" input (a
--      +1/-1 click on both channels once per engine second) onto a stereo
--      audio track, so both exports play the very same region;
--   2. inserts TeskDelay, found by name among the Linux VST plug-ins of
--      VST_DIR, loads its program "Simple single echo" and sets parameters;
--   3. saves the session and exports SECONDS of the master bus as
--      EXPORT_DIR/wet.wav.
-- "dry" loads that session again (TeskDelay with it), reads the parameters
-- back, deactivates the plug-in and exports the same range as
-- EXPORT_DIR/dry.wav. The two exports run in two processes: after an export
-- ardour7-lua 7.3 now and then aborts on a corrupted heap (with or without
-- TeskDelay), so each process exports once, as its last step.
-- Every step prints a line starting with "check:"; a failed step raises a
-- Lua error whose text starts with "check: FAILED". The exported files are
-- the result: ardour7-lua itself may crash while closing.

local stage, vst_dir, session_dir, export_dir = arg[1], arg[2], arg[3], arg[4]
local seconds = tonumber(arg[5] or "10")
local tempo = tonumber(arg[6] or "100")
local preset_id = arg[7]
local format = arg[8] or "vst2"
local SESSION_NAME = "check"
local RATE = 48000

local function say(...)
	print("check: " .. string.format(...))
end

local function fail(...)
	error("check: FAILED " .. string.format(...), 0)
end

local function wait_for(what, limit_s, cond)
	local waited = 0
	while not cond() do
		if waited >= limit_s then
			fail("%s did not happen within %g s", what, limit_s)
		end
		sleep(0.05)
		waited = waited + 0.05
	end
end

if not ((stage == "wet" or stage == "dry") and vst_dir and session_dir and export_dir
		and seconds and tempo and preset_id) then
	fail("usage: ardour7-lua check-ardour.lua wet|dry VST_DIR SESSION_DIR EXPORT_DIR SECONDS TEMPO PRESET_ID")
end

-- Ardour 7.3 looks for Linux VST modules along this path only (LXVST_PATH is
-- not read); with the cache the scanner wrote, the engine start lists them.
ARDOUR.config():set_plugin_path_lxvst(vst_dir)

-- The Dummy back end: its driver "10x Speed" runs the engine ten times faster
-- than real time (the recording then takes one second, not ten), its device
-- "Engine Pulse" puts a click on every capture port once per engine second.
local backend = AudioEngine:set_backend("None (Dummy)", "", "")
if not backend then fail("the \"None (Dummy)\" audio back end is missing") end
if backend:set_driver("10x Speed") ~= 0 then
	say("the back end has no \"10x Speed\" driver; recording in real time")
end
if backend:set_device_name("Engine Pulse") ~= 0 then
	fail("the Dummy back end has no \"Engine Pulse\" input")
end

-- The parameters set in the "wet" stage, as "dry" should read them back.
-- TempoNum1 0.15 picks the numerator 2: two halves of a beat instead of the
-- program's one, so the echo's place proves the setting reached the plug-in.
local SETTINGS = {
	{ "IsTempoSync1", 1.0 },
	{ "TempoNum1", 0.15 },
	{ "TempoDen1", 0.1 },
	{ "VolumeThruInput", 1.0 },
}

-- set_processor_param counts parameters, parameter_label takes the port they
-- sit on; for a VST 2 module the two are the same, for LV2 the audio ports
-- come first.
local function parameter_indices(plugin)
	local index = {}
	for i = 0, plugin:parameter_count() - 1 do
		local port = plugin:nth_parameter(i, true)
		index[plugin:parameter_label(port)] = i
	end
	return index
end

local function export(name)
	local ex = Session:simple_export()
	ex:set_folder(export_dir)
	ex:set_range(0, seconds * RATE)
	if not ex:set_preset(preset_id) then fail("the export preset %s is missing", preset_id) end
	ex:set_name(name)
	if not ex:run_export() then fail("the export of %s failed", name) end
	say("exported %s/%s.wav", export_dir, name)
end

local function record_and_insert()
	local session = create_session(session_dir, SESSION_NAME, RATE)
	if not session then fail("cannot create a session in %s", session_dir) end
	say("new session at %d Hz, engine %s", Session:nominal_sample_rate(), AudioEngine:current_backend_name())

	-- The host tempo the plug-in's tempo-synced line follows.
	local tm = Temporal.TempoMap.fetch_writable()
	tm:set_tempo(Temporal.Tempo(tempo, tempo, 4), Temporal.timepos_t(0))
	Temporal.TempoMap.update(tm)
	tm = nil
	say("host tempo %g bpm", tempo)

	local tracks = Session:new_audio_track(2, 2, nil, 1, "Pulse", ARDOUR.PresentationInfo.max_order,
		ARDOUR.TrackMode.Normal, true)
	if tracks:size() ~= 1 then fail("cannot add a stereo audio track") end
	local track = tracks:front()
	-- Strict I/O, as Ardour's own "Add Track" dialog sets it: the track stays
	-- stereo and takes the plug-in's first output pair. Without it the track
	-- widens to TeskDelay's six outputs and the 6-in/2-out panner drops
	-- output 1, where the first line's echo is.
	track:set_strict_io(true)

	local input = track:input()
	wait_for("connecting the track's inputs to the capture ports", 10, function()
		for i = 0, input:n_ports():n_audio() - 1 do
			if not input:audio(i):connected() then return false end
		end
		return true
	end)
	say("stereo track %s, inputs connected", track:name())

	-- Record a little more than the export will need.
	local wanted = math.floor((seconds + 0.5) * RATE)
	track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
	Session:maybe_enable_record(false)
	Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
	wait_for("recording " .. wanted .. " samples", 60, function()
		return Session:transport_sample() >= wanted
	end)
	Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
	wait_for("stopping the transport", 20, function() return not Session:transport_rolling() end)
	track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
	Session:disable_record(false, false)

	local region = nil
	wait_for("the recorded region to appear", 20, function()
		for r in track:playlist():region_list():iter() do region = r end
		return region ~= nil
	end)
	local region_start = region:position():samples()
	local region_length = region:length():samples()
	say("recorded region %s at %d, %d samples", region:name(), region_start, region_length)
	if region_start > 0 or region_start + region_length < seconds * RATE then
		fail("the recording does not cover 0 to %g s", seconds)
	end

	track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorDisk, PBD.GroupControlDisposition.NoGroup)
	Session:goto_start(false)

	-- TeskDelay by name, as a user would pick it.
	local kind = format == "lv2" and ARDOUR.PluginType.LV2 or ARDOUR.PluginType.LXVST
	local proc = ARDOUR.LuaAPI.new_plugin(Session, "TeskDelay", kind, "")
	if proc:isnil() then
		fail("Ardour does not know a %s plug-in called TeskDelay", format)
	end
	if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then
		fail("cannot insert TeskDelay on the track")
	end
	local insert = proc:to_insert()
	local plugin = insert:plugin(0)
	say("inserted %s: %d parameters, natural I/O %d in / %d out, on the track %d in / %d out",
		plugin:name(), plugin:parameter_count(),
		insert:natural_input_streams():n_audio(), insert:natural_output_streams():n_audio(),
		insert:input_streams():n_audio(), insert:output_streams():n_audio())
	if format == "lv2" and (insert:natural_input_streams():n_audio() ~= 2
			or insert:natural_output_streams():n_audio() ~= 6) then
		fail("the LV2 plug-in shows the wrong audio ports")
	end

	local program = plugin:preset_by_label("Simple single echo")
	if not (program and program.valid and plugin:load_preset(program)) then
		fail("cannot load the program \"Simple single echo\"")
	end
	say("loaded program \"%s\" (%s)", program.label, program.uri)

	local index = parameter_indices(plugin)
	for _, s in ipairs(SETTINGS) do
		local name, value = s[1], s[2]
		if index[name] == nil then fail("TeskDelay has no parameter %s", name) end
		if not ARDOUR.LuaAPI.set_processor_param(proc, index[name], value) then
			fail("Ardour refused %s = %g", name, value)
		end
		say("set %s = %g (reads back %g)", name, value, ARDOUR.LuaAPI.get_processor_param(proc, index[name]))
	end

	-- Saved before the export: ardour7-lua 7.3 sometimes aborts soon after
	-- an export, and the "dry" stage needs the session as it is now.
	Session:save_state("", false, false, false, false, false)
	say("session saved")
	export("wet")
end

local function reload_and_deactivate()
	local session = load_session(session_dir, SESSION_NAME)
	if not session then fail("cannot load the session %s again", session_dir) end
	local track = Session:route_by_name("Pulse")
	if track:isnil() then fail("the reloaded session has no track Pulse") end
	local proc = track:nth_plugin(0)
	if proc:isnil() or proc:to_insert():plugin(0):name() ~= "TeskDelay" then
		fail("the reloaded session has no TeskDelay on the track")
	end
	local plugin = proc:to_insert():plugin(0)
	say("reloaded the session with %s on track %s", plugin:name(), track:name())
	local index = parameter_indices(plugin)
	local readback = {}
	for _, s in ipairs(SETTINGS) do
		readback[#readback + 1] = string.format("%s %g", s[1], ARDOUR.LuaAPI.get_processor_param(proc, index[s[1]]))
	end
	say("parameters after reloading: %s", table.concat(readback, ", "))
	proc:deactivate()
	say("TeskDelay deactivated")
	export("dry")
end

if stage == "wet" then
	record_and_insert()
else
	reload_and_deactivate()
end
say("done")

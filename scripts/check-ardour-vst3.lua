-- The Ardour session half of scripts/check-ardour-vst3; run by ardour7-lua,
-- never on its own (check-ardour-vst3 scans the bundle into a private cache and
-- a private HOME first, and compares what the two stages print afterwards).
--
--   ardour7-lua check-ardour-vst3.lua play   VST3_DIR SESSION_DIR TEMPO CLASS_ID
--   ardour7-lua check-ardour-vst3.lua reopen VST3_DIR SESSION_DIR TEMPO CLASS_ID
--
-- Both run on the "None (Dummy)" back end, whose device "Sine Wave" puts a
-- sine at -18 dBFS on every capture port; the track monitors its input, so the
-- sine goes through TeskDelay whenever the engine runs.
--
-- "play", in a new session at TEMPO bpm:
--   1. a stereo track with TeskDelay inserted by name as a VST 3; it must be the
--      module under VST3_DIR with class id CLASS_ID, and show Ardour 66
--      parameters with our names at our indices (the 61, "Bypass", and the four
--      read-only "Delay N Tempo in use"; the program choice Ardour keeps for
--      itself as the plug-in's presets);
--   2. the program "Ping pong" loaded as Ardour loads a preset, and seen to
--      arrive (the dry level and line 2 change);
--   3. the transport rolled: sound comes out of the track, and every line
--      that is on reports the host tempo as its "Tempo in use";
--   4. a few parameters set on top, read back at once, and line 1 (now free
--      running at 140 bpm) reports 140 as its tempo in use;
--   5. the dry level down and all lines off must silence the track, and undoing
--      that must bring the sound back, so the sound is TeskDelay's own output;
--   6. the insert still active, the session saved.
-- "reopen" loads that session in a new process and checks that TeskDelay is back
-- on the track (the same module, active), rolls the transport and waits for
-- sound and for line 1's tempo in use to read 140 again.
-- Every step prints a line starting with "check:", every parameter a line
-- "param INDEX in|out VALUE NAME" (at the end of "play" and on reopening, for
-- the script to compare); a failed step raises a Lua error whose text starts
-- with "check: FAILED".

local stage, vst3_dir, session_dir = arg[1], arg[2], arg[3]
local tempo = tonumber(arg[4] or "")
local class_id = arg[5]
local SESSION_NAME = "vst3"
local TRACK_NAME = "Delay"
local RATE = 48000

local function say(...)
	print("check: " .. string.format(...))
end

local function fail(...)
	error("check: FAILED " .. string.format(...), 0)
end

-- Waits, a twentieth of a second at a time, until cond() holds.
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

local function near(a, b)
	return a ~= nil and b ~= nil and math.abs(a - b) <= 1e-6 * math.max(1, math.abs(b))
end

if not ((stage == "play" or stage == "reopen") and vst3_dir and session_dir and tempo and class_id) then
	fail("usage: ardour7-lua check-ardour-vst3.lua play|reopen VST3_DIR SESSION_DIR TEMPO CLASS_ID")
end

-- Ardour 7.3 lists the VST 3 bundles along this path (and ~/.vst3 and
-- /usr/lib/vst3, where the private HOME's cache knows none) that the scanner
-- has cached; it does not scan anything itself here.
ARDOUR.config():set_plugin_path_vst3(vst3_dir)

local backend = AudioEngine:set_backend("None (Dummy)", "", "")
if not backend then fail("the \"None (Dummy)\" audio back end is missing") end
if backend:set_driver("Normal Speed") ~= 0 then
	say("the back end has no \"Normal Speed\" driver; running at its default speed")
end
if backend:set_device_name("Sine Wave") ~= 0 then
	fail("the Dummy back end has no \"Sine Wave\" input")
end

-- The names Ardour must show, at the indices they have had since the VST 2
-- edition: per line the kinds in this order, "Dry level" after the volumes.
local KINDS_BEFORE_DRY = { "Feedback", "Volume" }
local KINDS_AFTER_DRY = { "On", "Pan", "Input", "Output", "Type", "Saturation", "High-pass",
	"Low-pass", "Crossover", "Tempo", "Note length numerator", "Note length denominator", "Sync" }
local LINES = 4
local function expected_names()
	local names = {}
	for _, kind in ipairs(KINDS_BEFORE_DRY) do
		for line = 1, LINES do names[#names + 1] = string.format("Delay %d %s", line, kind) end
	end
	names[#names + 1] = "Dry level"
	for _, kind in ipairs(KINDS_AFTER_DRY) do
		for line = 1, LINES do names[#names + 1] = string.format("Delay %d %s", line, kind) end
	end
	names[#names + 1] = "Bypass"
	for line = 1, LINES do names[#names + 1] = string.format("Delay %d Tempo in use", line) end
	return names
end
local EXPECTED = expected_names()
local FIRST_OUTPUT = #EXPECTED - LINES   -- 0-based index of "Delay 1 Tempo in use"

-- Set in "play" on top of the program, in Ardour's units (bpm for a tempo, the
-- position for a choice). Line 1 leaves the host tempo for 140 bpm.
local SETTINGS = {
	{ "Delay 1 Sync", 0 },
	{ "Delay 1 Tempo", 140 },
	{ "Delay 1 Note length numerator", 2 },
	{ "Delay 3 Feedback", 0.25 },
	{ "Delay 4 Output", 2 },
}
local LINE1_TEMPO = 140

local function index_of(plugin)
	local index = {}
	for i = 0, plugin:parameter_count() - 1 do index[plugin:parameter_label(i)] = i end
	return index
end

local function param(proc, index, name)
	local i = index[name]
	if i == nil then fail("TeskDelay has no parameter \"%s\"", name) end
	return ARDOUR.LuaAPI.get_processor_param(proc, i)
end

local function set_param(proc, index, name, value)
	local i = index[name]
	if i == nil then fail("TeskDelay has no parameter \"%s\"", name) end
	if not ARDOUR.LuaAPI.set_processor_param(proc, i, value) then
		fail("Ardour refused %s = %g", name, value)
	end
end

local function print_params(plugin, proc)
	for i = 0, plugin:parameter_count() - 1 do
		print(string.format("param %d %s %.9g %s", i, plugin:parameter_is_input(i) and "in" or "out",
			ARDOUR.LuaAPI.get_processor_param(proc, i), plugin:parameter_label(i)))
	end
end

-- The plug-in of the track must be TeskDelay, a VST 3, from VST3_DIR.
local function check_identity(proc)
	if proc:isnil() then fail("the track has no plug-in") end
	local plugin = proc:to_insert():plugin(0)
	local info = plugin:get_info()
	if plugin:name() ~= "TeskDelay" or plugin:maker() ~= "Velmora" then
		fail("the plug-in is \"%s\" by \"%s\", not TeskDelay by Velmora", plugin:name(), plugin:maker())
	end
	if info.type ~= ARDOUR.PluginType.VST3 then fail("TeskDelay is not loaded as a VST 3") end
	if plugin:unique_id() ~= class_id then
		fail("Ardour's id for TeskDelay is %s, the bundle's class id is %s", plugin:unique_id(), class_id)
	end
	if info.path:sub(1, #vst3_dir + 1) ~= vst3_dir .. "/" then
		fail("Ardour loaded TeskDelay from %s, not from %s", info.path, vst3_dir)
	end
	return plugin, info
end

-- The track's peak meter sits after the plug-in. The highest level since the
-- meter's maximum was reset, once the transport has moved on a quarter of a
-- second of engine time (only while rolling).
local function level_over(track)
	local meter = track:peak_meter()
	local from = Session:transport_sample()
	meter:reset_max()
	wait_for("a quarter of a second of engine time", 5, function()
		return Session:transport_sample() >= from + RATE / 4
	end)
	local level = -math.huge
	for c = 0, 1 do
		level = math.max(level, meter:meter_level(c, ARDOUR.MeterType.MeterMaxPeak))
	end
	return level
end

-- Waits until the track sounds (above -60 dBFS) or, with want_silence, is
-- digitally silent (below -140 dBFS) for a quarter of a second.
local function wait_for_level(track, want_silence, limit_s)
	local waited, level = 0, nil
	repeat
		level = level_over(track)
		if want_silence and level < -140 then return level end
		if not want_silence and level > -60 then return level end
		waited = waited + 0.25
	until waited >= limit_s
	fail("the track stayed at %.1f dBFS for %g s; wanted %s", level, limit_s,
		want_silence and "silence" or "sound")
end

local function roll()
	Session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
	wait_for("the transport rolling", 10, function()
		return Session:transport_rolling() and Session:transport_sample() > 0
	end)
end

local function stop()
	Session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
	wait_for("stopping the transport", 10, function() return not Session:transport_rolling() end)
end

-- A line that is on plays at the host tempo when it syncs, at its own Tempo
-- when not; a line that is off keeps the tempo it last played at, unchecked.
-- Waits until the lines that are on report theirs; returns them as text.
local function wait_for_tempi(proc, index)
	local want, got = {}, {}
	local function settled()
		local all = true
		for line = 1, LINES do
			local on = param(proc, index, string.format("Delay %d On", line)) == 1
			local sync = param(proc, index, string.format("Delay %d Sync", line)) == 1
			want[line] = nil
			if on then
				want[line] = sync and tempo or param(proc, index, string.format("Delay %d Tempo", line))
			end
			got[line] = param(proc, index, string.format("Delay %d Tempo in use", line))
			if want[line] and not near(got[line], want[line]) then all = false end
		end
		return all
	end
	local ok = pcall(wait_for, "the tempi in use", 5, settled)
	local seen, wanted = {}, {}
	for line = 1, LINES do
		seen[line] = string.format("%g%s", got[line], want[line] and "" or " (off)")
		wanted[line] = want[line] and string.format("%g", want[line]) or "any"
	end
	if not ok then
		fail("the lines' tempi in use read %s bpm, want %s", table.concat(seen, ", "), table.concat(wanted, ", "))
	end
	return table.concat(seen, ", ")
end

-- Line 1 must be on and play at LINE1_TEMPO, whatever the other lines do.
local function check_line1(proc, index, tempi)
	local heard = param(proc, index, "Delay 1 Tempo in use")
	if param(proc, index, "Delay 1 On") ~= 1 or not near(heard, LINE1_TEMPO) then
		fail("line 1 is %s at %g bpm, not on at %g bpm (tempi in use %s)",
			param(proc, index, "Delay 1 On") == 1 and "on" or "off", heard, LINE1_TEMPO, tempi)
	end
	return tempi
end

local function play()
	if not create_session(session_dir, SESSION_NAME, RATE) then
		fail("cannot create a session in %s", session_dir)
	end
	say("new session at %d Hz, engine %s, device %s", Session:nominal_sample_rate(),
		AudioEngine:current_backend_name(), backend:device_name())

	local tm = Temporal.TempoMap.fetch_writable()
	tm:set_tempo(Temporal.Tempo(tempo, tempo, 4), Temporal.timepos_t(0))
	Temporal.TempoMap.update(tm)
	tm = nil
	say("host tempo %g bpm", tempo)

	local tracks = Session:new_audio_track(2, 2, nil, 1, TRACK_NAME, ARDOUR.PresentationInfo.max_order,
		ARDOUR.TrackMode.Normal, true)
	if tracks:size() ~= 1 then fail("cannot add a stereo audio track") end
	local track = tracks:front()
	-- Strict I/O, as Ardour's "Add Track" dialog sets it: the track stays stereo
	-- and plays the plug-in's Main pair.
	track:set_strict_io(true)
	local input = track:input()
	wait_for("connecting the track's inputs to the capture ports", 10, function()
		for i = 0, input:n_ports():n_audio() - 1 do
			if not input:audio(i):connected() then return false end
		end
		return true
	end)
	track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)

	-- 1. TeskDelay by name, as a user would pick it.
	local proc = ARDOUR.LuaAPI.new_plugin(Session, "TeskDelay", ARDOUR.PluginType.VST3, "")
	if proc:isnil() then fail("Ardour does not know a VST 3 plug-in called TeskDelay in %s", vst3_dir) end
	if track:add_processor_by_index(proc, 0, nil, true) ~= 0 then fail("cannot insert TeskDelay on the track") end
	local insert = proc:to_insert()
	local plugin, info = check_identity(proc)
	say("inserted %s by %s, VST 3 class %s, from %s", plugin:name(), plugin:maker(), plugin:unique_id(), info.path)
	say("audio I/O: natural %d in / %d out, on the track %d in / %d out",
		insert:natural_input_streams():n_audio(), insert:natural_output_streams():n_audio(),
		insert:input_streams():n_audio(), insert:output_streams():n_audio())
	if insert:natural_input_streams():n_audio() ~= 2 or insert:natural_output_streams():n_audio() ~= 6 then
		fail("Ardour sees %d audio inputs and %d outputs, not 2 and 6 (Main, Out 2, Out 3)",
			insert:natural_input_streams():n_audio(), insert:natural_output_streams():n_audio())
	end

	local count, inputs, outputs, wrong = plugin:parameter_count(), 0, 0, {}
	for i = 0, count - 1 do
		local name = plugin:parameter_label(i)
		if plugin:parameter_is_input(i) then inputs = inputs + 1 else outputs = outputs + 1 end
		local want_output = i >= FIRST_OUTPUT and i < #EXPECTED
		if name ~= EXPECTED[i + 1] or plugin:parameter_is_output(i) ~= want_output then
			wrong[#wrong + 1] = string.format("%d \"%s\"%s (want \"%s\")", i, name,
				plugin:parameter_is_output(i) and " read-only" or "", EXPECTED[i + 1] or "nothing")
		end
	end
	say("%d parameters: %d the host sets, %d read-only; first \"%s\", last \"%s\"", count, inputs, outputs,
		plugin:parameter_label(0), plugin:parameter_label(count - 1))
	if count ~= #EXPECTED or #wrong > 0 then
		fail("Ardour shows %d parameters, want %d; unexpected: %s", count, #EXPECTED,
			#wrong > 0 and table.concat(wrong, "; ") or "none")
	end
	local index = index_of(plugin)

	-- 2. A program, as Ardour loads a preset: it arrives through the processor,
	-- so its values show once the engine has run a cycle.
	local program = plugin:preset_by_label("Ping pong")
	if not (program and program.valid) then fail("Ardour lists no preset \"Ping pong\"") end
	if not plugin:load_preset(program) then fail("Ardour could not load the preset \"Ping pong\"") end
	local ok = pcall(wait_for, "the program's values", 5, function()
		return near(param(proc, index, "Dry level"), 0.464) and param(proc, index, "Delay 2 On") == 1
			and param(proc, index, "Delay 2 Type") == 1
	end)
	if not ok then
		fail("after loading \"Ping pong\" Ardour reads Dry level %g, Delay 2 On %g, Delay 2 Type %g (want 0.464, 1, 1)",
			param(proc, index, "Dry level"), param(proc, index, "Delay 2 On"), param(proc, index, "Delay 2 Type"))
	end
	say("loaded preset \"%s\" (%s): Dry level %g, Delay 2 On %g, Delay 2 Type %g", program.label, program.uri,
		param(proc, index, "Dry level"), param(proc, index, "Delay 2 On"), param(proc, index, "Delay 2 Type"))

	-- 3. Rolling.
	roll()
	say("transport rolling; the track plays at %.1f dBFS, tempi in use %s bpm",
		wait_for_level(track, false, 5), wait_for_tempi(proc, index))

	-- 4. Parameters on top of the program.
	for _, s in ipairs(SETTINGS) do
		local name, value = s[1], s[2]
		local before = param(proc, index, name)
		set_param(proc, index, name, value)
		local after = param(proc, index, name)
		say("set %s = %g (was %g, reads back %g)", name, value, before, after)
		if not near(after, value) then fail("%s reads back %g, not %g", name, after, value) end
	end
	say("tempi in use with line 1 free: %s bpm", check_line1(proc, index, wait_for_tempi(proc, index)))

	-- 5. Silence in, sound back: the track plays what TeskDelay puts out.
	local kept = {}
	local function mute(name)
		kept[#kept + 1] = { name, param(proc, index, name) }
		set_param(proc, index, name, 0)
	end
	mute("Dry level")
	for line = 1, LINES do mute(string.format("Delay %d On", line)) end
	say("Dry level 0, lines off: the track falls silent (%.1f dBFS)", wait_for_level(track, true, 10))
	for _, k in ipairs(kept) do set_param(proc, index, k[1], k[2]) end
	say("Dry level and lines back: the track plays at %.1f dBFS", wait_for_level(track, false, 5))

	-- 6. Still active after all that, and saved.
	stop()
	if not proc:active() then fail("Ardour deactivated TeskDelay") end
	say("TeskDelay active after %.2f s of engine time", Session:transport_sample() / RATE)
	print_params(plugin, proc)
	local setting_names = {}
	for _, s in ipairs(SETTINGS) do
		setting_names[#setting_names + 1] = string.format("%s %g", s[1], param(proc, index, s[1]))
	end
	say("values saved: %s", table.concat(setting_names, ", "))
	if not Session:save_state("", false, false, false, false, false) then fail("Ardour could not save the session") end
	say("session saved")
end

local function reopen()
	if not load_session(session_dir, SESSION_NAME) then fail("cannot load the session %s again", session_dir) end
	local track = Session:route_by_name(TRACK_NAME)
	if track:isnil() then fail("the reopened session has no track %s", TRACK_NAME) end
	local proc = track:nth_plugin(0)
	local plugin, info = check_identity(proc)
	local index = index_of(plugin)
	say("reopened the session: %s (%s) on track %s, %d parameters, last preset \"%s\"", plugin:name(),
		plugin:unique_id(), track:name(), plugin:parameter_count(), plugin:last_preset().label)
	if not proc:active() then fail("TeskDelay is inactive in the reopened session") end
	print_params(plugin, proc)
	local setting_names = {}
	for _, s in ipairs(SETTINGS) do
		setting_names[#setting_names + 1] = string.format("%s %g", s[1], param(proc, index, s[1]))
	end
	say("values reopened: %s", table.concat(setting_names, ", "))

	track:monitoring_control():set_value(ARDOUR.MonitorChoice.MonitorInput, PBD.GroupControlDisposition.NoGroup)
	roll()
	say("transport rolling; the track plays at %.1f dBFS, tempi in use %s bpm",
		wait_for_level(track, false, 5), check_line1(proc, index, wait_for_tempi(proc, index)))
	stop()
	if not proc:active() then fail("Ardour deactivated TeskDelay") end
	say("TeskDelay active after %.2f s of engine time", Session:transport_sample() / RATE)
end

if stage == "play" then
	play()
else
	reopen()
end
say("done")

-- The session halves of scripts/check-ardour-editor; run by ardour7-lua, never on
-- its own (the script starts the JACK server on the dummy driver and prepares a
-- private HOME first).
--
--   ardour7-lua check-ardour-editor.lua make VST_DIR SESSION_DIR
--   ardour7-lua check-ardour-editor.lua read VST_DIR SESSION_DIR
--
-- "make": a new session on the running JACK server with one stereo track and
-- TeskDelay on it, program "Simple single echo", saved. The GUI then opens this
-- session on the same server, so it asks nothing about the audio set-up.
-- "read": loads the session the GUI saved and prints every TeskDelay parameter as
-- "value NAME VALUE" for the script to judge.

local stage, vst_dir, session_dir = arg[1], arg[2], arg[3]
local SESSION_NAME = "editor"

local function fail(...)
	error("check: FAILED " .. string.format(...), 0)
end

if not ((stage == "make" or stage == "read") and vst_dir and session_dir) then
	fail("usage: ardour7-lua check-ardour-editor.lua make|read VST_DIR SESSION_DIR")
end

ARDOUR.config():set_plugin_path_lxvst(vst_dir)
if not AudioEngine:set_backend("JACK", "", "") then fail("Ardour has no JACK back end") end

local function teskdelay_of(track)
	local proc = track:nth_plugin(0)
	if proc:isnil() or proc:to_insert():plugin(0):name() ~= "TeskDelay" then
		fail("the session has no TeskDelay on its track")
	end
	return proc
end

if stage == "make" then
	if not create_session(session_dir, SESSION_NAME, 48000) then
		fail("cannot create a session in %s", session_dir)
	end
	local tracks = Session:new_audio_track(2, 2, nil, 1, "Delay", ARDOUR.PresentationInfo.max_order,
		ARDOUR.TrackMode.Normal, true)
	if tracks:size() ~= 1 then fail("cannot add a stereo audio track") end
	local proc = ARDOUR.LuaAPI.new_plugin(Session, "TeskDelay", ARDOUR.PluginType.LXVST, "")
	if proc:isnil() then fail("Ardour does not know a Linux VST called TeskDelay in %s", vst_dir) end
	if tracks:front():add_processor_by_index(proc, 0, nil, true) ~= 0 then
		fail("cannot insert TeskDelay on the track")
	end
	local plugin = proc:to_insert():plugin(0)
	local program = plugin:preset_by_label("Simple single echo")
	if not (program and program.valid and plugin:load_preset(program)) then
		fail("cannot load the program \"Simple single echo\"")
	end
	Session:save_state("", false, false, false, false, false)
	print("check: session made")
else
	if not load_session(session_dir, SESSION_NAME) then
		fail("cannot load the session %s", session_dir)
	end
	local proc = teskdelay_of(Session:route_by_name("Delay"))
	local plugin = proc:to_insert():plugin(0)
	for i = 0, plugin:parameter_count() - 1 do
		print(string.format("value %s %.9g", plugin:parameter_label(i),
			ARDOUR.LuaAPI.get_processor_param(proc, i)))
	end
end

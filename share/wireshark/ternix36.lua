-- SPDX-License-Identifier: GPL-3.0-or-later
-- Wireshark dissector for the datagrams between ternix36-control and the
-- TERNIX36 nodes: the discovery probe, the program's commands and the nodes'
-- reports, decoded in the units and with the cuts that the program's panels
-- use, so that a capture reads like the window.
--
-- From a checkout:  wireshark -X lua_script:share/wireshark/ternix36.lua
-- Installed, it sits in Wireshark's global Lua plugin folder.
--
-- Written for the Lua of Wireshark 4.0 (5.2) and of later releases (5.4):
-- no integer division, no bitwise operators, no tostring() of numbers.

local PROGRAM_PORT = 4444
local NODE_PORT = 40000
local HEADER_SIZE = 3
local PROBE = "\0\1\2\3\4\5\6\7\8\9"
local ALL_NODES = "ff02:0:0:0:0:0:0:1"

local OP_REQUEST = 0xC0
local OP_CONFIGURE = 0x80

local KIND_PLUG = 0x0110
local KIND_BRIGHT = 0x0111
local KIND_BRIGHT2 = 0x0112
local KIND_ADPLUG = 0x0120
local KIND_BLINDS = 0x0121
local KIND_DIMMER = 0x0130

-- The word each kind's panel carries in its title.
local KIND_WORDS = {
    [KIND_PLUG] = "Plug",
    [KIND_BRIGHT] = "Bright",
    [KIND_BRIGHT2] = "Bright",
    [KIND_ADPLUG] = "ADPlug",
    [KIND_BLINDS] = "Blinds",
    [KIND_DIMMER] = "Dimmer",
}

-- Loaded twice (installed, and once more with -X lua_script): the copy
-- loaded first stays, the second would only fail to register.
local loaded, earlier = pcall(Dissector.get, "ternix36")
if loaded and earlier then
    return
end

local proto = Proto("ternix36", "TERNIX36 node protocol")

local f = {
    type = ProtoField.string("ternix36.type", "Type"),
    op = ProtoField.uint8("ternix36.op", "Operation", base.HEX,
        { [OP_REQUEST] = "request", [OP_CONFIGURE] = "configure" }),
    kind = ProtoField.uint16("ternix36.kind", "Kind", base.HEX, KIND_WORDS),
    n = ProtoField.int8("ternix36.n", "Data block size (N)", base.DEC),
    name_length = ProtoField.int8("ternix36.name_length", "Name length (L)", base.DEC),
    name = ProtoField.string("ternix36.name", "Name"),
    real_power = ProtoField.double("ternix36.plug.real_power", "Real power"),
    apparent_power = ProtoField.double("ternix36.plug.apparent_power", "Apparent power"),
    adplug_state = ProtoField.uint8("ternix36.adplug.state", "State", base.DEC),
    temperature = ProtoField.double("ternix36.bright.temperature", "Temperature"),
    brightness = ProtoField.int32("ternix36.bright.brightness", "Brightness", base.DEC),
    dimmer_level = ProtoField.uint8("ternix36.dimmer.level", "Level", base.DEC, nil, 0x7F),
    blinds_state = ProtoField.int8("ternix36.blinds.state", "State", base.DEC,
        { [0] = "Off", [1] = "Down", [3] = "Up" }),
    target = ProtoField.uint8("ternix36.cmd.target", "Target state", base.DEC,
        { [0] = "off", [1] = "on" }),
    level = ProtoField.uint8("ternix36.cmd.level", "Level", base.DEC, nil, 0x7F),
    direction = ProtoField.uint8("ternix36.cmd.direction", "Direction", base.DEC,
        { [0] = "stop", [1] = "down", [3] = "up" }),
    measure_interval = ProtoField.uint16("ternix36.cmd.measure_interval", "Measure interval", base.DEC),
    poll_interval = ProtoField.uint16("ternix36.cmd.poll_interval", "Poll interval", base.DEC),
    delta_temperature = ProtoField.double("ternix36.cmd.delta_temperature", "Delta temperature"),
    delta_brightness = ProtoField.int32("ternix36.cmd.delta_brightness", "Delta brightness", base.DEC),
}
proto.fields = {
    f.type, f.op, f.kind, f.n, f.name_length, f.name, f.real_power, f.apparent_power,
    f.adplug_state, f.temperature, f.brightness, f.dimmer_level, f.blinds_state,
    f.target, f.level, f.direction, f.measure_interval, f.poll_interval,
    f.delta_temperature, f.delta_brightness,
}

local e = {
    short = ProtoExpert.new("ternix36.short", "Shorter than the 3-byte header",
        expert.group.MALFORMED, expert.severity.WARN),
    past_end = ProtoExpert.new("ternix36.past_end", "A field lies past the end of the datagram",
        expert.group.MALFORMED, expert.severity.WARN),
    negative_n = ProtoExpert.new("ternix36.negative_n", "N is negative",
        expert.group.MALFORMED, expert.severity.WARN),
    unknown_kind = ProtoExpert.new("ternix36.unknown_kind", "Unknown kind",
        expert.group.PROTOCOL, expert.severity.WARN),
    unknown_op = ProtoExpert.new("ternix36.unknown_op", "Unknown operation",
        expert.group.PROTOCOL, expert.severity.WARN),
}
proto.experts = { e.short, e.past_end, e.negative_n, e.unknown_kind, e.unknown_op }

proto.prefs.program_address = Pref.string("Program's address", "",
    "IPv6 address of the host that runs ternix36-control, for captures that hold no probe. " ..
    "Datagrams from it are commands, datagrams to it reports.")

---------------------------------------------------------------------------
-- Text as the panels write it

-- The nearest single-precision value, as the panels compute the power in float.
local function single(x)
    if x == 0 then
        return 0
    end
    local a = math.abs(x)
    local exponent = math.floor(math.log(a) / math.log(2))
    if 2 ^ exponent > a then
        exponent = exponent - 1
    elseif 2 ^ (exponent + 1) <= a then
        exponent = exponent + 1
    end
    local unit = 2 ^ (exponent - 23)
    local scaled = a / unit
    local whole = math.floor(scaled)
    local rest = scaled - whole
    if rest > 0.5 or (rest == 0.5 and whole % 2 == 1) then
        whole = whole + 1
    end
    return x < 0 and -(whole * unit) or whole * unit
end

-- At most 6 significant digits, halves rounded up, trailing zeros dropped,
-- exponent notation below 1e-4 and from 1e6 on: how the panels print a number.
local function six_digits(x)
    if x == 0 then
        return "0"
    end
    local exact = string.format("%.40e", math.abs(x))
    local digits = exact:sub(1, 1) .. exact:sub(3, 7)
    local exponent = tonumber(exact:match("e([-+]%d+)$"))
    local kept = tonumber(digits)
    if tonumber(exact:sub(8, 8)) >= 5 then
        kept = kept + 1
    end
    if kept >= 1000000 then
        kept = 100000
        exponent = exponent + 1
    end
    digits = string.format("%06d", kept)
    local text
    if exponent < -4 or exponent >= 6 then
        local fraction = digits:sub(2):gsub("0+$", "")
        text = digits:sub(1, 1) .. (fraction ~= "" and "." .. fraction or "") ..
            string.format("e%s%02d", exponent < 0 and "-" or "+", math.abs(exponent))
    else
        local whole, fraction
        if exponent >= 0 then
            whole, fraction = digits:sub(1, exponent + 1), digits:sub(exponent + 2)
        else
            whole, fraction = "0", string.rep("0", -exponent - 1) .. digits
        end
        fraction = fraction:gsub("0+$", "")
        text = whole .. (fraction ~= "" and "." .. fraction or "")
    end
    return (x < 0 and "-" or "") .. text
end

local function power_text(hundredths)
    return six_digits(single(single(hundredths) / 100)) .. " W"
end

-- Tenths written exactly: 215 -> "21.5", -30 -> "-3".
local function tenths_text(tenths)
    local a = math.abs(tenths)
    local whole = math.floor(a / 10)
    local rest = a - whole * 10
    return string.format("%s%d%s", tenths < 0 and "-" or "", whole,
        rest ~= 0 and string.format(".%d", rest) or "")
end

-- Whole degrees, truncated toward zero, as the sensor panel shows them.
local function degrees_text(tenths)
    local whole = math.floor(math.abs(tenths) / 10)
    if tenths < 0 and whole ~= 0 then
        whole = -whole
    end
    return string.format("%d \194\176C", whole)
end

-- Latin-1 bytes as UTF-8 text, one character per byte.
local function latin1(bytes)
    local characters = {}
    for i = 1, #bytes do
        local byte = bytes:byte(i)
        characters[i] = byte < 128 and string.char(byte) or
            string.char(192 + math.floor(byte / 64), 128 + byte % 64)
    end
    return table.concat(characters)
end

local function hex_byte(value)
    return string.format("0x%02x", value)
end

---------------------------------------------------------------------------
-- Reading a datagram that may end anywhere

-- Fields of one datagram; a field that does not lie wholly inside it reads 0,
-- as the program reads it.
local function reader(tvb)
    local size = tvb:len()
    local r = { size = size }
    function r.has(offset, width)
        return offset >= 0 and width >= 0 and offset + width <= size
    end
    function r.u8(offset)
        return r.has(offset, 1) and tvb(offset, 1):uint() or 0
    end
    function r.s8(offset)
        return r.has(offset, 1) and tvb(offset, 1):int() or 0
    end
    function r.u16(offset)
        return r.has(offset, 2) and tvb(offset, 2):le_uint() or 0
    end
    function r.s32(offset)
        return r.has(offset, 4) and tvb(offset, 4):le_int() or 0
    end
    return r
end

-- Adds an item for a field that the panel reads; where its bytes are
-- missing, a warning instead, and the caller goes on with the 0 read.
local function need(tree, r, offset, width, what)
    if r.has(offset, width) then
        return true
    end
    local last = offset + width - 1
    tree:add_proto_expert_info(e.past_end, string.format(
        "%s at byte%s %d%s lies past the end of the %d-byte datagram (read as 0)",
        what, width > 1 and "s" or "", offset, width > 1 and string.format("..%d", last) or "",
        r.size))
    return false
end

local function add_s32(tree, tvb, r, field, offset, what)
    if need(tree, r, offset, 4, what) then
        return tree:add_le(field, tvb(offset, 4))
    end
end

---------------------------------------------------------------------------
-- Who is the program

-- "fe80::ffff:1", "FE80:0::FFFF:1%3" -> one spelling; other text unchanged.
local function normalized(address)
    local text = address:lower():gsub("%%.*$", "")
    if not text:find(":", 1, true) then
        return text
    end
    local head, tail = text:match("^([^:]*.-)::(.*)$")
    local groups = {}
    local function split(part, into)
        for group in part:gmatch("[^:]+") do
            into[#into + 1] = group
        end
    end
    local after = {}
    if head then
        split(head, groups)
        split(tail, after)
        for _ = 1, 8 - #groups - #after do
            groups[#groups + 1] = "0"
        end
        for _, group in ipairs(after) do
            groups[#groups + 1] = group
        end
    else
        split(text, groups)
    end
    if #groups ~= 8 then
        return text
    end
    for i, group in ipairs(groups) do
        local value = tonumber(group, 16)
        if not value or #group > 4 then
            return text
        end
        groups[i] = string.format("%x", value)
    end
    return table.concat(groups, ":")
end

local learned = {}   -- addresses that sent a probe
local decided = {}   -- frame number -> type, fixed on the first pass

local function preferred_programs()
    local programs = {}
    for address in (proto.prefs.program_address or ""):gmatch("[^%s,;]+") do
        programs[normalized(address)] = true
    end
    return programs
end

local function is_probe(tvb, pinfo)
    return pinfo.dst_port == NODE_PORT and tvb:len() == #PROBE and tvb():raw() == PROBE
end

-- Probe, command or report. With neither a probe nor the preference to tell
-- the program's address: to port 40000 a command; to port 4444 a command when
-- it comes from a port other than 4444 and 40000 (the program sends each
-- command from a fresh socket) and starts with C0 or 80; otherwise a report.
local function classify(tvb, pinfo)
    if is_probe(tvb, pinfo) then
        return "probe"
    end
    local source, destination = normalized(tostring(pinfo.src)), normalized(tostring(pinfo.dst))
    local programs = preferred_programs()
    if learned[source] or programs[source] then
        return "command"
    end
    if learned[destination] or programs[destination] then
        return "report"
    end
    if pinfo.dst_port == NODE_PORT then
        return "command"
    end
    local op = tvb:len() > 0 and tvb(0, 1):uint() or -1
    if pinfo.src_port ~= PROGRAM_PORT and pinfo.src_port ~= NODE_PORT and
        (op == OP_REQUEST or op == OP_CONFIGURE) then
        return "command"
    end
    return "report"
end

function proto.init()
    learned = {}
    decided = {}
end

---------------------------------------------------------------------------
-- Reports

-- The name trailer at 4+N: L there, then up to L bytes (all the rest when L
-- is negative), cut at the first zero byte, Latin-1.
local function name_trailer(tree, tvb, r)
    local n = r.s8(3)
    if n < 0 then
        tree:add_proto_expert_info(e.negative_n, string.format(
            "N = %d is negative: no name trailer (the panel shows no name)", n))
        return ""
    end
    local length_offset = 4 + n
    if not r.has(length_offset, 1) then
        tree:add_proto_expert_info(e.past_end, string.format(
            "N = %d puts the name length at byte %d, past the end of the %d-byte datagram " ..
            "(the panel shows no name)", n, length_offset, r.size))
        return ""
    end
    local length = r.s8(length_offset)
    local length_item = tree:add(f.name_length, tvb(length_offset, 1))
    local start = length_offset + 1
    local available = r.size - start
    local take = available
    if length >= 0 and length < available then
        take = length
    end
    if length > available then
        length_item:add_proto_expert_info(e.past_end, string.format(
            "L = %d reaches past the end of the datagram: the name is cut to %d bytes",
            length, available))
    elseif length < 0 then
        length_item:append_text(" (negative: the name takes the rest of the datagram)")
    end
    local name_bytes = take > 0 and tvb(start, take):raw() or ""
    local zero = name_bytes:find("\0", 1, true)
    local cut = zero and zero - 1 or #name_bytes
    local name = ""
    if cut > 0 then
        name = latin1(name_bytes:sub(1, cut))
        tree:add(f.name, tvb(start, cut), name)
    else
        tree:add(f.name, tvb(length_offset, 1), ""):set_generated()
    end
    return name
end

local function plug_report(tree, tvb, r)
    local readings = r.s8(3) ~= 0
    local real, apparent = 0, 0
    if readings then
        real = r.s32(4)
        local item = need(tree, r, 4, 4, "The real power") and
            tree:add(f.real_power, tvb(4, 4), real / 100)
        if item then
            item:set_text("Real power: " .. power_text(real))
        end
        if need(tree, r, 8, 4, "The apparent power") then
            local raw = r.s32(8)
            local apparent_item = tree:add(f.apparent_power, tvb(8, 4), raw / 100)
            apparent_item:set_text("Apparent power: " .. power_text(raw))
            if real ~= 0 then
                apparent = raw
            else
                apparent_item:append_text(" (the panel shows 0 W while the real power is 0)")
            end
        end
    end
    return string.format("real %s, apparent %s%s", power_text(real), power_text(apparent),
        readings and "" or " (no readings)")
end

local function adplug_report(tree, tvb, r)
    local state = r.u8(4)
    if need(tree, r, 4, 1, "The state") then
        local item = tree:add(f.adplug_state, tvb(4, 1))
        item:set_text(string.format("State: %s (%d)", state ~= 0 and "on" or "off", state))
    end
    local real, apparent = 0, 0
    if r.s8(3) ~= 0 then
        real, apparent = r.s32(5), r.s32(9)
        if need(tree, r, 5, 4, "The real power") then
            tree:add(f.real_power, tvb(5, 4), real / 100):set_text("Real power: " .. power_text(real))
        end
        if need(tree, r, 9, 4, "The apparent power") then
            tree:add(f.apparent_power, tvb(9, 4), apparent / 100)
                :set_text("Apparent power: " .. power_text(apparent))
        end
    end
    return string.format("%s, real %s, apparent %s", state ~= 0 and "on" or "off",
        power_text(real), power_text(apparent))
end

local function bright_report(tree, tvb, r)
    local tenths, brightness = r.s32(4), r.s32(8)
    if need(tree, r, 4, 4, "The temperature") then
        tree:add(f.temperature, tvb(4, 4), tenths / 10)
            :set_text(string.format("Temperature: %s \194\176C", tenths_text(tenths)))
    end
    add_s32(tree, tvb, r, f.brightness, 8, "The brightness")
    return string.format("temperature %s, brightness %d", degrees_text(tenths), brightness)
end

local function dimmer_report(tree, tvb, r)
    if need(tree, r, 4, 1, "The level") then
        tree:add(f.dimmer_level, tvb(4, 1)):append_text(" %")
    end
    return string.format("level %d %%", r.u8(4) % 128)
end

local BLINDS_WORDS = { [0] = "Off", [1] = "Down", [3] = "Up" }

-- Byte 3 is the state, not N; nothing after it is read, so there is no name.
local function blinds_report(tree, tvb, r)
    local state = r.s8(3)
    if need(tree, r, 3, 1, "The state") then
        local item = tree:add(f.blinds_state, tvb(3, 1))
        if not BLINDS_WORDS[state] then
            item:append_text(" (other: the panel shows no change)")
        end
    end
    if r.size > 4 then
        tree:add(tvb(4), string.format("Not read by the panel (%d bytes)", r.size - 4))
    end
    return BLINDS_WORDS[state] or string.format("state %d, no change shown", state)
end

local REPORTS = {
    [KIND_PLUG] = plug_report,
    [KIND_BRIGHT] = bright_report,
    [KIND_BRIGHT2] = bright_report,
    [KIND_ADPLUG] = adplug_report,
    [KIND_DIMMER] = dimmer_report,
}

local function report(tree, tvb, r, kind)
    local word = KIND_WORDS[kind]
    if kind == KIND_BLINDS then
        return "Report Blinds: " .. blinds_report(tree, tvb, r)
    end
    if need(tree, r, 3, 1, "N") then
        tree:add(f.n, tvb(3, 1))
    end
    local readings = REPORTS[kind](tree, tvb, r)
    local name = name_trailer(tree, tvb, r)
    return string.format('Report %s "%s": %s', word, name, readings)
end

---------------------------------------------------------------------------
-- Commands

local function adplug_command(tree, tvb, r)
    if not need(tree, r, 3, 1, "The target state") then
        return "switch"
    end
    tree:add(f.target, tvb(3, 1))
    local target = r.u8(3)
    return target == 1 and "switch on" or target == 0 and "switch off" or
        "switch to " .. hex_byte(target)
end

local function bright_command(tree, tvb, r, op)
    if op ~= OP_CONFIGURE then
        return "poll"
    end
    local fields = {}
    local function add(field, offset, width, what, text)
        if need(tree, r, offset, width, what) then
            local item = tree:add_le(field, tvb(offset, width))
            if text then
                item:set_text(text)
            end
        end
    end
    local measure, poll = r.u16(3), r.u16(5)
    local delta_tenths, delta_brightness = r.s32(7), r.s32(11)
    add(f.measure_interval, 3, 2, "The measure interval")
    add(f.poll_interval, 5, 2, "The poll interval")
    if need(tree, r, 7, 4, "The delta temperature") then
        tree:add(f.delta_temperature, tvb(7, 4), delta_tenths / 10)
            :set_text(string.format("Delta temperature: %s \194\176C", tenths_text(delta_tenths)))
    end
    add(f.delta_brightness, 11, 4, "The delta brightness")
    fields[#fields + 1] = string.format("measure interval %d, poll interval %d", measure, poll)
    fields[#fields + 1] = string.format("delta temperature %s \194\176C", tenths_text(delta_tenths))
    fields[#fields + 1] = string.format("delta brightness %d", delta_brightness)
    return "configure " .. table.concat(fields, ", ")
end

local function dimmer_command(tree, tvb, r)
    if need(tree, r, 3, 1, "The level count") then
        tree:add(tvb(3, 1), string.format("Level count: %d", r.u8(3)))
    end
    if not need(tree, r, 4, 1, "The level") then
        return "level"
    end
    tree:add(f.level, tvb(4, 1)):append_text(" %")
    return string.format("level %d %%", r.u8(4) % 128)
end

local BLINDS_DIRECTIONS = { [0] = "stop", [1] = "down", [3] = "up" }

local function blinds_command(tree, tvb, r)
    if not need(tree, r, 3, 1, "The direction") then
        return "drive"
    end
    tree:add(f.direction, tvb(3, 1))
    local direction = r.u8(3)
    return BLINDS_DIRECTIONS[direction] or "drive " .. hex_byte(direction)
end

local COMMANDS = {
    [KIND_PLUG] = function() return "switch" end,
    [KIND_BRIGHT] = bright_command,
    [KIND_BRIGHT2] = bright_command,
    [KIND_ADPLUG] = adplug_command,
    [KIND_DIMMER] = dimmer_command,
    [KIND_BLINDS] = blinds_command,
}

local function command(tree, tvb, r, kind, op)
    local expected = (kind == KIND_BRIGHT or kind == KIND_BRIGHT2) and
        { [OP_REQUEST] = true, [OP_CONFIGURE] = true } or { [OP_REQUEST] = true }
    if not expected[op] then
        tree:add_proto_expert_info(e.unknown_op, string.format(
            "Operation byte %s is not one that %s commands use", hex_byte(op), KIND_WORDS[kind]))
    end
    return string.format("Command %s: %s", KIND_WORDS[kind], COMMANDS[kind](tree, tvb, r, op))
end

---------------------------------------------------------------------------

function proto.dissector(tvb, pinfo, root)
    local what = decided[pinfo.number]
    if not pinfo.visited or not what then
        what = classify(tvb, pinfo)
        decided[pinfo.number] = what
        if what == "probe" and pinfo.src_port == PROGRAM_PORT and
            normalized(tostring(pinfo.dst)) == ALL_NODES then
            learned[normalized(tostring(pinfo.src))] = true
        end
    end

    pinfo.cols.protocol:set("TERNIX36")
    local tree = root:add(proto, tvb())
    tree:add(f.type, what):set_generated()
    local title = what == "command" and "Command" or "Report"
    if what == "probe" then
        tree:append_text(", Probe")
        tree:add(tvb(), "Discovery probe: bytes 00 to 09")
        pinfo.cols.info:set("Probe")
        return tvb:len()
    end

    local r = reader(tvb)
    if r.has(0, 1) then
        local op_item = tree:add(f.op, tvb(0, 1))
        if what == "report" then
            op_item:set_text(string.format("Operation: %s (not read in reports)", hex_byte(r.u8(0))))
        end
    end
    if r.size < HEADER_SIZE then
        if r.size == 2 then
            tree:add(tvb(1, 1), string.format("Low byte of the kind: %s", hex_byte(r.u8(1))))
        end
        tree:add_proto_expert_info(e.short, string.format(
            "%s of %d byte%s is shorter than the 3-byte header: it changes nothing on a panel",
            title, r.size, r.size == 1 and "" or "s"))
        pinfo.cols.info:set(string.format("%s: %d byte%s, shorter than the header", title,
            r.size, r.size == 1 and "" or "s"))
        tree:append_text(", " .. title)
        return tvb:len()
    end

    local kind = r.u16(1)
    tree:add_le(f.kind, tvb(1, 2))
    local info
    if not KIND_WORDS[kind] then
        tree:add_proto_expert_info(e.unknown_kind, string.format(
            "Unknown kind 0x%04x: no panel takes it from a new node", kind))
        if r.size > HEADER_SIZE then
            tree:add(tvb(HEADER_SIZE), string.format("Payload of an unknown kind (%d bytes)",
                r.size - HEADER_SIZE))
        end
        info = string.format("%s of unknown kind 0x%04x", title, kind)
    elseif what == "command" then
        info = command(tree, tvb, r, kind, r.u8(0))
    else
        info = report(tree, tvb, r, kind)
    end
    tree:append_text(", " .. title)
    pinfo.cols.info:set(info)
    return tvb:len()
end

local udp_port = DissectorTable.get("udp.port")
udp_port:add(PROGRAM_PORT, proto)
udp_port:add(NODE_PORT, proto)

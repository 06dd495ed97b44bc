-- Wireshark dissector for the tool's recordings (qrt-cli --record, qrt-monitor --record):
-- link type 147 (the first user type), one header byte in front of every record.
-- The channel table above this part is generated from the tool's decoder.

local bits = bit32 or bit
local band, rshift = bits.band, bits.rshift

-- A second copy (the installed plugin and one given with -X lua_script:) leaves the
-- first in place.
local registered, qrt = pcall(Proto, "qrt", "QRT telemetry link")
if not registered then
    return
end

local kinds = {[0] = "no frame", "short telegram", "standard frame", "logger block",
               "firmware echo"}
local channels = {[0] = "A", "B", "box"}

local f = {
    header = ProtoField.uint8("qrt.header", "Record header", base.HEX),
    sent = ProtoField.bool("qrt.sent", "Sent by the tool"),
    channel = ProtoField.string("qrt.channel", "Interface"),
    kind = ProtoField.string("qrt.kind", "Kind"),
    module = ProtoField.string("qrt.module", "Module"),
    r = ProtoField.uint8("qrt.r", "R field"),
    type = ProtoField.uint8("qrt.type", "Type"),
    bytepar = ProtoField.uint8("qrt.bytepar", "BytePar"),
    wordpar = ProtoField.uint16("qrt.wordpar", "WordPar"),
    sequence = ProtoField.uint8("qrt.sequence", "Sequence byte"),
    crc = ProtoField.uint16("qrt.crc", "CRC", base.HEX),
    crc_status = ProtoField.uint8("qrt.crc.status", "CRC status", base.DEC,
                                  {[0] = "Bad", [1] = "Good"}),
    name = ProtoField.string("qrt.channel_name", "Channel"),
    temperature = ProtoField.double("qrt.temperature", "Temperature (degrees Celsius)"),
    battery = ProtoField.double("qrt.battery", "Battery (V)"),
    digital = ProtoField.uint8("qrt.digital", "Digital inputs"),
    counter = ProtoField.uint16("qrt.counter", "Counter"),
    config = ProtoField.uint16("qrt.config", "Configuration word", base.HEX),
    aux = ProtoField.uint16("qrt.aux", "Aux value"),
    status = ProtoField.uint8("qrt.status", "Status byte"),
    sample = ProtoField.int16("qrt.sample", "Continuous sample"),
    word = ProtoField.uint16("qrt.word", "Data word"),
    data = ProtoField.bytes("qrt.data", "Bytes"),
}
qrt.fields = f

local malformed = ProtoExpert.new("qrt.malformed", "Malformed record", expert.group.MALFORMED,
                                  expert.severity.ERROR)
local bad_crc = ProtoExpert.new("qrt.crc.bad", "Bad CRC", expert.group.CHECKSUM,
                                expert.severity.WARN)
qrt.experts = {malformed, bad_crc}

qrt.prefs.crc_start = Pref.string("CRC start value", "0",
                                  "Start value of the frames' CRC-16, hexadecimal (as --crc-start)")

local function crc_start()
    return tonumber(qrt.prefs.crc_start, 16) or 0
end

-- CRC-16/ARC, a table of the 256 byte steps (reflected polynomial 0xA001).
local crc_table = {}
for byte = 0, 255 do
    local crc = byte
    for _ = 1, 8 do
        crc = band(crc, 1) ~= 0 and bits.bxor(rshift(crc, 1), 0xA001) or rshift(crc, 1)
    end
    crc_table[byte] = crc
end

-- The CRC over `count` bytes of `tvb` from `offset`, from the preference's start value.
local function crc16(tvb, offset, count)
    local crc = crc_start()
    local bytes = tvb:bytes(offset, count)
    for i = 0, count - 1 do
        crc = bits.bxor(rshift(crc, 8), crc_table[band(bits.bxor(crc, bytes:get_index(i)), 0xFF)])
    end
    return crc
end

-- Adds the CRC sent high byte first at `at` over the bytes before it from `from`.
local function add_crc(tree, tvb, from, at)
    local good = crc16(tvb, from, at - from) == tvb(at, 2):uint()
    tree:add(f.crc, tvb(at, 2))
    local status = tree:add(f.crc_status, tvb(at, 2), good and 1 or 0)
    if not good then
        status:add_proto_expert_info(bad_crc)
    end
    return good
end

local function signed16(range)
    return range:le_int()
end

-- The module text of a standard frame's ID: type.serial.
local function module_of(tvb)
    local id = tvb(1, 4):le_uint()
    return string.format("%u.%u", rshift(id, 28), band(id, 0x0FFFFFFF))
end

-- Whether a Bat_Dig telegram announced that the next type-5 frame carries more channels,
-- by frame number, decided on the first pass in order.
local extension_armed = {}
local armed = false

local function short_telegram(tvb, tree)
    tree:add(f.module, tvb(0, 1), tostring(tvb(0, 1):uint()))
    local temperature = signed16(tvb(1, 2)) * qrt_scales.temperature
    local battery = tvb(3, 1):uint() * qrt_scales.battery
    tree:add(f.temperature, tvb(1, 2), temperature)
    tree:add(f.battery, tvb(3, 1), battery)
    tree:add(f.status, tvb(4, 1))
    add_crc(tree, tvb, 0, 5)
    return string.format("ID:%u T:%-5.2f B:%4.2f %u", tvb(0, 1):uint(), temperature, battery,
                         tvb(4, 1):uint())
end

-- The channel text of a type-5 or type-6 module's telegram, by channel kind.
local function channel_text(tree, tvb, kind, wp, bp, sequence)
    local channel = qrt_channels[kind]
    if channel == nil then
        return string.format("B:%u W:%u %u", bp, wp, sequence)
    end
    tree:add(f.name, tvb(7, 1), channel.name)
    if kind == 0 then
        local battery = band(wp, 0xFF) * qrt_scales.battery
        tree:add(f.battery, tvb(5, 1), battery)
        tree:add(f.digital, tvb(6, 1))
        return string.format("%s B:%4.2f D:%u %u", channel.caption, battery, rshift(wp, 8),
                             sequence)
    elseif kind == 1 then
        tree:add_le(f.config, tvb(5, 2))
        return string.format("%s T:0x%x %u", channel.caption, wp, sequence)
    elseif channel.unit == "Celsius" then
        local temperature = signed16(tvb(5, 2)) * channel.scale
        tree:add(f.temperature, tvb(5, 2), temperature)
        return string.format("%s T:%-5.2f %u", channel.caption, temperature, sequence)
    elseif channel.unit == "Count" then
        tree:add_le(f.counter, tvb(5, 2))
        return string.format("%s C:%u %u", channel.caption, wp, sequence)
    end
    tree:add_le(f.aux, tvb(5, 2))
    return string.format("%s X:%u %u", channel.caption, wp, sequence)
end

-- A type-5 frame: further channels after an announcing Bat_Dig telegram, else four samples.
local function type5_text(tree, tvb, extension)
    if extension then
        local kinds = tvb(1, 2):le_uint()
        local text = "   "
        for i = 0, 2 do
            local channel = qrt_channels[band(rshift(kinds, 4 * i), 0x0F)]
            local value = tvb(3 + 2 * i, 2)
            if channel ~= nil and channel.unit == "Celsius" then
                local temperature = signed16(value) * channel.scale
                tree:add(f.temperature, value, temperature)
                text = text .. string.format(" %s T:%-5.2f", channel.caption, temperature)
            elseif channel ~= nil and channel.unit == "Count" then
                tree:add_le(f.counter, value)
                text = text .. string.format(" %s C:%u", channel.caption, value:le_uint())
            end
        end
        return text
    end
    local text = "CONT:"
    for i = 0, 3 do
        tree:add_le(f.sample, tvb(1 + 2 * i, 2))
        text = text .. string.format(" %d", signed16(tvb(1 + 2 * i, 2)))
    end
    return text
end

local function reply_text(module, pt, bp, wp, sequence)
    return string.format("ID:%s pt:%u bp:%u wp:%d %u", module, pt, bp,
                         wp >= 0x8000 and wp - 0x10000 or wp, sequence)
end

-- A standard frame as the receiver passes it, or a command frame as the tool sends it.
-- `first_pass`: a received frame seen for the first time, in order, which moves the
-- announcement of further channels on.
local function standard_frame(tvb, tree, number, first_pass)
    local header = tvb(0, 1):uint()
    local r = rshift(header, 5)
    local pt = r ~= 0 and 0 or band(header, 0x1F)
    local module = module_of(tvb)
    local wp, bp, sequence = tvb(5, 2):le_uint(), tvb(7, 1):uint(), tvb(8, 1):uint()
    tree:add(f.r, tvb(0, 1), r)
    tree:add(f.type, tvb(0, 1), pt)
    tree:add(f.module, tvb(1, 4), module)
    tree:add_le(f.wordpar, tvb(5, 2))
    tree:add(f.bytepar, tvb(7, 1))
    tree:add(f.sequence, tvb(8, 1))
    add_crc(tree, tvb, 0, 9)
    local module_type = rshift(tvb(1, 4):le_uint(), 28)
    if first_pass then
        extension_armed[number] = armed
        armed = pt == 0 and (module_type == 5 or module_type == 6) and bp == 0x10
    end
    if pt == 5 then
        return type5_text(tree, tvb, extension_armed[number])
    elseif pt ~= 0 or (module_type == 5 and bp > 31) then
        return reply_text(module, pt, bp, wp, sequence)
    end
    local line = string.format("R:%u ID:%s ", r, module)
    if module_type == 5 or module_type == 6 then
        return line .. channel_text(tree, tvb, band(bp, 0x0F), wp, bp, sequence)
    end
    local temperature = signed16(tvb(5, 2)) * qrt_scales.temperature
    local battery = bp * qrt_scales.battery
    tree:add(f.temperature, tvb(5, 2), temperature)
    tree:add(f.battery, tvb(7, 1), battery)
    return line .. string.format("T:%-5.2f B:%4.2f %u", temperature, battery, sequence)
end

local function logger_block(tvb, tree)
    for i = 0, 31 do
        tree:add_le(f.word, tvb(2 * i, 2))
    end
    add_crc(tree, tvb, 0, 64)
    return "Logger block"
end

local expected_length = {[1] = 7, [2] = 11, [3] = 66, [4] = 130}

-- Dissects one record's bytes after its header; the Info text, or nil when malformed.
local function dissect_bytes(record, tree, kind, sent, pinfo)
    local tvb = record(1):tvb()
    local length = tvb:len()
    if sent then
        tree:add(f.data, tvb())
        if length == 11 then
            return "Sent " .. standard_frame(tvb, tree, pinfo.number, false)
        end
        return string.format("Sent %u bytes", length)
    end
    if kind ~= 0 and length ~= expected_length[kind] then
        return nil
    end
    if kind == 0 then
        tree:add(f.data, tvb())
        return string.format("No frame (%u bytes)", length)
    elseif kind == 1 then
        return short_telegram(tvb, tree)
    elseif kind == 2 then
        return standard_frame(tvb, tree, pinfo.number, not pinfo.visited)
    elseif kind == 3 then
        return logger_block(tvb, tree)
    end
    tree:add(f.data, tvb())
    return "Firmware block echo"
end

local function mark_malformed(tree, tvb, pinfo)
    tree:add_proto_expert_info(malformed)
    pinfo.cols.info = "Malformed record"
    return tvb:len()
end

function qrt.dissector(tvb, pinfo, root)
    pinfo.cols.protocol = "QRT"
    local tree = root:add(qrt, tvb())
    if tvb:len() < 1 then
        return mark_malformed(tree, tvb, pinfo)
    end
    local header = tvb(0, 1):uint()
    local sent = band(header, 0x80) ~= 0
    local channel = band(rshift(header, 4), 3)
    local kind = band(header, 0x0F)
    tree:add(f.header, tvb(0, 1))
    tree:add(f.sent, tvb(0, 1), sent)
    if band(header, 0x40) ~= 0 or channels[channel] == nil or kinds[kind] == nil then
        return mark_malformed(tree, tvb, pinfo)
    end
    tree:add(f.channel, tvb(0, 1), channels[channel])
    tree:add(f.kind, tvb(0, 1), sent and "sent" or kinds[kind])
    if tvb:len() < 2 then
        return mark_malformed(tree, tvb, pinfo)  -- the tools never write an empty record
    end
    local ok, info = pcall(dissect_bytes, tvb, tree, kind, sent, pinfo)
    if not ok or info == nil then
        return mark_malformed(tree, tvb, pinfo)
    end
    pinfo.cols.info = info
    return tvb:len()
end

function qrt.init()
    extension_armed = {}
    armed = false
end

DissectorTable.get("wtap_encap"):add(wtap_encaps.USER0, qrt)

-- Wireshark dissector for the controller protocol of ZavConfig (UDP port 45389).
--
-- Names every datagram, checks the checksum of plain frames and, once the capture has shown the
-- session being opened ('K' and its 16-byte answer), the signature of every signed frame of that
-- session. Requests and replies are paired and the round trip is shown.
--
-- Installed into Wireshark's global Lua plugin folder by the zavconfig package; by hand:
--   tshark -X lua_script:zavconfig.lua -r site.pcap
-- Written for Wireshark 4.0 (Lua 5.2: bit operations through bit32).

local bxor, band, bor = bit32.bxor, bit32.band, bit32.bor
local lshift, rshift = bit32.lshift, bit32.rshift

local PORT = 45389
local BROADCAST_ID = 0xFFFFFFFF
local PLAIN_OVERHEAD = 12
local SIGNED_OVERHEAD = 19
local ACK, NAK = 6, 0x15

---------------------------------------------------------------------------------------------
-- Frame checksum: CRC-32/MPEG-2 (polynomial 0x04C11DB7, MSB first, start 0xFFFFFFFF, no final
-- XOR), stored little-endian after the bytes it covers.

local CRC_TABLE = {}
for i = 0, 255 do
  local r = lshift(i, 24)
  for _ = 1, 8 do
    if band(r, 0x80000000) ~= 0 then
      r = bxor(lshift(r, 1), 0x04C11DB7)
    else
      r = lshift(r, 1)
    end
  end
  CRC_TABLE[i] = r
end

local function frame_crc(b, n)
  local r = 0xFFFFFFFF
  for i = 0, n - 1 do
    r = bxor(lshift(r, 8), CRC_TABLE[band(bxor(rshift(r, 24), b[i]), 0xFF)])
  end
  return r
end

---------------------------------------------------------------------------------------------
-- AES-128 (encryption only) and AES-CMAC: the signature is the first 8 bytes of the CMAC tag.
-- Byte arrays are 0-based Lua tables.

local function xtime(b)
  b = lshift(b, 1)
  if b >= 0x100 then b = bxor(b, 0x11B) end
  return b
end

-- The S-box from the multiplicative inverse and the affine map, walking the field with
-- generator 3 (p) and its inverse (q) together.
local SBOX = { [0] = 0x63 }
do
  local function rotl8(x, s) return band(bor(lshift(x, s), rshift(x, 8 - s)), 0xFF) end
  local p, q = 1, 1
  repeat
    p = band(bxor(p, xtime(p)), 0xFF)
    q = bxor(q, lshift(q, 1)); q = bxor(q, lshift(q, 2)); q = bxor(q, lshift(q, 4))
    q = band(q, 0xFF)
    if band(q, 0x80) ~= 0 then q = bxor(q, 0x09) end
    SBOX[p] = bxor(q, rotl8(q, 1), rotl8(q, 2), rotl8(q, 3), rotl8(q, 4), 0x63)
  until p == 1
end

local MUL2, MUL3 = {}, {}
for b = 0, 255 do
  MUL2[b] = xtime(b)
  MUL3[b] = bxor(MUL2[b], b)
end

-- 176 bytes of round keys from a 16-byte key.
local function aes_expand(key)
  local w = {}
  for i = 0, 15 do w[i] = key[i] end
  local rcon = 1
  for i = 16, 175, 4 do
    local t0, t1, t2, t3 = w[i - 4], w[i - 3], w[i - 2], w[i - 1]
    if i % 16 == 0 then
      t0, t1, t2, t3 = bxor(SBOX[t1], rcon), SBOX[t2], SBOX[t3], SBOX[t0]
      rcon = xtime(rcon)
    end
    w[i] = bxor(w[i - 16], t0)
    w[i + 1] = bxor(w[i - 15], t1)
    w[i + 2] = bxor(w[i - 14], t2)
    w[i + 3] = bxor(w[i - 13], t3)
  end
  return w
end

-- Encrypts the 16-byte block in (state byte r + 4c is input byte r + 4c); returns a new block.
local function aes_encrypt(w, input)
  local s = {}
  for i = 0, 15 do s[i] = bxor(input[i], w[i]) end
  for round = 1, 10 do
    local t = {}
    -- SubBytes and ShiftRows: row r moves left by r columns.
    for c = 0, 3 do
      for r = 0, 3 do
        t[r + 4 * c] = SBOX[s[r + 4 * ((c + r) % 4)]]
      end
    end
    local k = 16 * round
    if round < 10 then
      for c = 0, 12, 4 do
        local a0, a1, a2, a3 = t[c], t[c + 1], t[c + 2], t[c + 3]
        s[c] = bxor(MUL2[a0], MUL3[a1], a2, a3, w[k + c])
        s[c + 1] = bxor(a0, MUL2[a1], MUL3[a2], a3, w[k + c + 1])
        s[c + 2] = bxor(a0, a1, MUL2[a2], MUL3[a3], w[k + c + 2])
        s[c + 3] = bxor(MUL3[a0], a1, a2, MUL2[a3], w[k + c + 3])
      end
    else
      for i = 0, 15 do s[i] = bxor(t[i], w[k + i]) end
    end
  end
  return s
end

-- Doubling in GF(2^128) as CMAC's subkeys need it.
local function cmac_double(b)
  local out = {}
  local carry = 0
  for i = 15, 0, -1 do
    local v = lshift(b[i], 1) + carry
    out[i] = band(v, 0xFF)
    carry = rshift(v, 8)
  end
  if band(b[0], 0x80) ~= 0 then out[15] = bxor(out[15], 0x87) end
  return out
end

local ZERO_BLOCK = {}
for i = 0, 15 do ZERO_BLOCK[i] = 0 end

-- A keyed signer: round keys and both CMAC subkeys, made once per session key.
local function make_signer(key)
  local w = aes_expand(key)
  local k1 = cmac_double(aes_encrypt(w, ZERO_BLOCK))
  return { w = w, k1 = k1, k2 = cmac_double(k1) }
end

-- Full 16-byte CMAC tag of bytes m[0 .. n-1].
local function cmac(signer, m, n)
  local blocks = math.max(1, math.ceil(n / 16))
  local x = ZERO_BLOCK
  for b = 0, blocks - 2 do
    local y = {}
    for i = 0, 15 do y[i] = bxor(x[i], m[16 * b + i]) end
    x = aes_encrypt(signer.w, y)
  end
  local last = {}
  local base = 16 * (blocks - 1)
  if n > 0 and n % 16 == 0 then
    for i = 0, 15 do last[i] = bxor(x[i], m[base + i], signer.k1[i]) end
  else
    local rest = n - base
    for i = 0, 15 do
      local v = 0
      if i < rest then v = m[base + i] elseif i == rest then v = 0x80 end
      last[i] = bxor(x[i], v, signer.k2[i])
    end
  end
  return aes_encrypt(signer.w, last)
end

-- The session key: AES-128 keyed with the controller's 16 bytes R, applied to R.
local function session_key(r)
  return aes_encrypt(aes_expand(r), r)
end

---------------------------------------------------------------------------------------------
-- Identifiers.

local FAMILY_LETTERS = "RTZKCKFD???"

local function dev_name(id)
  local typeno = band(rshift(id, 16), 0x3FF)
  local family = math.floor(typeno / 100)
  return string.format("%s%02d_%05d", FAMILY_LETTERS:sub(family + 1, family + 1),
                       typeno % 100 + 100, band(id, 0xFFFF))
end

local function is_controller_id(id)
  return id ~= BROADCAST_ID and rshift(id, 28) == 3
end

local MODE_NAMES = { [0] = "Blokada", [1] = "Konfiguracja", [2] = "Serwis", [3] = "Instalacja" }
local BLOCK_KINDS = { [1] = "passage", [2] = "lift", [16] = "controller inputs/outputs" }
local CTRL_KINDS = { [1] = "door controller", [2] = "lift controller" }
local LETTER_NAMES = {
  O = "status", K = "open session", Y = "firmware block",
  S = "keep session", s = "close session", D = "device table", C = "read block",
  c = "write block", F = "delete inactive", R = "replace device",
}
local ACKNOWLEDGED = { S = true, s = true, c = true, F = true, R = true, Y = true }

-- The pure helpers, for the test that checks them against published vectors.
local helpers = {
  frame_crc = frame_crc,
  aes_expand = aes_expand,
  aes_encrypt = aes_encrypt,
  make_signer = make_signer,
  cmac = cmac,
  session_key = session_key,
  dev_name = dev_name,
}

-- A second copy (one given with -X lua_script while the package's copy is installed, or the
-- vectors test loading it) cannot register the protocol again: it only hands back its helpers.
-- Every plugin runs with its own globals, so the mark goes where all of them look.
if package.loaded["zavconfig.dissector"] then return helpers end
package.loaded["zavconfig.dissector"] = true

---------------------------------------------------------------------------------------------
-- Protocol and fields.

local zav = Proto("zav", "ZavConfig controller protocol")

local f = {
  kind = ProtoField.string("zav.kind", "Frame kind"),
  letter = ProtoField.string("zav.letter", "Command letter"),
  reply = ProtoField.bool("zav.reply", "Reply"),
  devid = ProtoField.uint32("zav.devid", "Device id", base.HEX),
  devname = ProtoField.string("zav.devname", "Controller"),
  seq = ProtoField.uint16("zav.seq", "Sequence number"),
  payload = ProtoField.bytes("zav.payload", "Payload"),
  crc = ProtoField.uint32("zav.crc", "Checksum", base.HEX),
  crc_ok = ProtoField.bool("zav.crc_ok", "Checksum good"),
  signature = ProtoField.bytes("zav.signature", "Signature"),
  sig_ok = ProtoField.bool("zav.sig_ok", "Signature good"),
  key_in = ProtoField.framenum("zav.key_in", "Session opened in", base.NONE),
  mode = ProtoField.uint8("zav.mode", "Mode", base.DEC, MODE_NAMES),
  session = ProtoField.bool("zav.session", "Session held"),
  status_valid = ProtoField.bool("zav.status_valid", "Status valid"),
  time = ProtoField.absolute_time("zav.time", "Time stamp", base.UTC),
  block_kind = ProtoField.uint8("zav.block_kind", "Block kind", base.DEC, BLOCK_KINDS),
  block_index = ProtoField.uint8("zav.block_index", "Block index"),
  name = ProtoField.string("zav.name", "Name"),
  ack = ProtoField.bool("zav.ack", "Acknowledged"),
  bus_count = ProtoField.uint16("zav.bus_count", "Entries"),
  ctrl_kind = ProtoField.uint8("zav.ctrl_kind", "Controller kind", base.DEC, CTRL_KINDS),
  passages = ProtoField.uint8("zav.passages", "Passage count"),
  bus_pos = ProtoField.uint8("zav.bus_pos", "Table position"),
  bus_id = ProtoField.uint32("zav.bus_id", "Bus device id", base.HEX),
  bus_device = ProtoField.string("zav.bus_device", "Bus device"),
  bus_state = ProtoField.uint8("zav.bus_state", "State", base.HEX),
  pair = ProtoField.uint16("zav.pair", "Replacement pair", base.HEX),
  fw_block = ProtoField.uint16("zav.fw_block", "Firmware block"),
  request_in = ProtoField.framenum("zav.request_in", "Request in", base.NONE, frametype.REQUEST),
  response_in = ProtoField.framenum("zav.response_in", "Response in", base.NONE,
                                    frametype.RESPONSE),
  rtt = ProtoField.relative_time("zav.rtt", "Round trip"),
  retry_of = ProtoField.framenum("zav.retry_of", "Sent again after", base.NONE),
}
local field_list = {}
for _, v in pairs(f) do field_list[#field_list + 1] = v end
zav.fields = field_list

local ef = {
  crc_bad = ProtoExpert.new("zav.crc_bad", "Bad checksum", expert.group.CHECKSUM,
                            expert.severity.ERROR),
  sig_bad = ProtoExpert.new("zav.sig_bad", "Bad signature", expert.group.CHECKSUM,
                            expert.severity.ERROR),
  no_key = ProtoExpert.new("zav.no_key", "Session opening not in the capture; signature not checked",
                           expert.group.PROTOCOL, expert.severity.NOTE),
  short = ProtoExpert.new("zav.short", "Datagram too short for its kind", expert.group.MALFORMED,
                          expert.severity.ERROR),
  nak = ProtoExpert.new("zav.nak", "Command not acknowledged", expert.group.RESPONSE_CODE,
                        expert.severity.WARN),
  denied = ProtoExpert.new("zav.denied", "Session refused", expert.group.RESPONSE_CODE,
                           expert.severity.WARN),
  no_reply = ProtoExpert.new("zav.no_reply", "No reply in the capture", expert.group.SEQUENCE,
                             expert.severity.WARN),
  retry = ProtoExpert.new("zav.retry", "Request sent again", expert.group.SEQUENCE,
                          expert.severity.NOTE),
  table_short = ProtoExpert.new("zav.table_short", "Device table shorter than its count",
                                expert.group.MALFORMED, expert.severity.WARN),
}
local expert_list = {}
for _, v in pairs(ef) do expert_list[#expert_list + 1] = v end
zav.experts = expert_list

---------------------------------------------------------------------------------------------
-- Capture-wide state, built while frames are seen in order for the first time and kept per
-- frame, so every later dissection (clicks in the GUI, the second pass of tshark -2) shows the
-- same result.

local state

local function reset()
  state = {
    frames = {},   -- frame number -> what the first pass found
    keys = {},     -- tool address | device id -> { signer, frame }
    pending = {},  -- request key -> { frame, time }
    discovery = {},  -- tool address -> { frame, time } of its last discovery request
    ctl_addr = {},   -- device id -> controller address, from its replies
  }
end
reset()
zav.init = reset

local function bytes_of(tvb, len)
  local ba = tvb:range(0, len):bytes()
  local b = {}
  for i = 0, len - 1 do b[i] = ba:get_index(i) end
  return b
end

local function le32(b, o)
  return b[o] + 256 * (b[o + 1] + 256 * (b[o + 2] + 256 * b[o + 3]))
end

local function pair_with(info, req, now)
  info.request_in = req.frame
  info.rtt = now - req.time
  local r = state.frames[req.frame]
  if r and not r.response_in then r.response_in = info.number end
end

-- First pass over one datagram: what it is, its checks, its place in the conversation.
local function analyse(pinfo, b, len)
  local info = { number = pinfo.number }
  local src, dst = tostring(pinfo.src), tostring(pinfo.dst)
  local now = pinfo.abs_ts
  local id = le32(b, 4)
  info.id = id

  if b[3] == 0x43 then  -- 'C': signed
    info.kind = "signed"
    if len < SIGNED_OVERHEAD then
      info.short = true
      info.letter = len > 10 and string.char(band(b[10], 0x7F)) or "?"
      return info
    end
    info.reply = band(b[10], 0x80) ~= 0
    info.letter = string.char(band(b[10], 0x7F))
    local tool = info.reply and dst or src
    local ctl = info.reply and src or dst
    if info.reply then state.ctl_addr[id] = src end
    local k = state.keys[tool .. "|" .. id]
    if k then
      local tag = cmac(k.signer, b, len - 8)
      info.sig_ok = true
      for i = 0, 7 do
        if tag[i] ~= b[len - 8 + i] then info.sig_ok = false end
      end
      info.key_in = k.frame
    end
    local pkey = "S|" .. tool .. "|" .. ctl .. "|" .. id .. "|" .. info.letter
    if info.reply then
      local req = state.pending[pkey]
      if req then
        pair_with(info, req, now)
        state.pending[pkey] = nil
        info.block_kind_req, info.block_index_req = req.block_kind, req.block_index
      end
    else
      local prev = state.pending[pkey]
      if prev then info.retry_of = prev.frame end
      local entry = { frame = info.number, time = now }
      if (info.letter == "C" or info.letter == "c") and len >= SIGNED_OVERHEAD + 2 then
        entry.block_kind, entry.block_index = b[11], b[12]
      end
      state.pending[pkey] = entry
    end
    return info
  end

  info.letter = string.char(b[3])
  info.kind = info.letter == "O" and "status" or (info.letter == "T" and "time" or "plain")
  if len < PLAIN_OVERHEAD then info.short = true; return info end
  info.crc_ok = frame_crc(b, len - 4) == le32(b, len - 4)
  local m = len - PLAIN_OVERHEAD

  if info.letter == "O" and id == BROADCAST_ID then
    info.kind, info.reply = "discovery", false
    state.discovery[src] = { frame = info.number, time = now }
    return info
  end

  -- A plain reply repeats the request's first eight bytes; only the direction tells them
  -- apart, so a frame is a reply when the peer's request with those bytes is waiting, or when
  -- the frame comes from the controller's own address.
  local head = ""
  for i = 0, 7 do head = head .. string.char(b[i]) end
  local back = "P|" .. dst .. "|" .. src .. "|" .. head
  local req = state.pending[back]
  if info.letter == "O" then
    info.reply = m > 0
  elseif info.letter == "T" then
    info.reply = false
  else
    info.reply = req ~= nil or state.ctl_addr[id] == src
  end

  if info.reply then
    if info.crc_ok and info.letter == "O" and len == 28 and is_controller_id(id) then
      state.ctl_addr[id] = src
    end
    if req then
      pair_with(info, req, now)
      state.pending[back] = nil
    elseif info.letter == "O" then
      local disc = state.discovery[dst]
      if disc then
        info.kind = "discovery"
        info.request_in = disc.frame
        info.rtt = now - disc.time
      end
    end
    if info.letter == "K" and info.crc_ok then
      if m == 16 then
        local r = {}
        for i = 0, 15 do r[i] = b[8 + i] end
        state.keys[dst .. "|" .. id] = { signer = make_signer(session_key(r)), frame = info.number }
      else
        info.denied = true
      end
    end
  elseif info.letter ~= "T" then
    local key = "P|" .. src .. "|" .. dst .. "|" .. head
    local prev = state.pending[key]
    if prev then info.retry_of = prev.frame end
    state.pending[key] = { frame = info.number, time = now }
  end
  return info
end

---------------------------------------------------------------------------------------------
-- The tree.

local function add_generated(tree, field, value)
  local item = tree:add(field, value)
  item:set_generated()
  return item
end

local function nstime(seconds)
  local s = math.floor(seconds)
  return NSTime.new(s, math.floor((seconds - s) * 1e9 + 0.5))
end

local function state_text(a1)
  local t = {}
  if band(a1, 0x80) ~= 0 then t[#t + 1] = "inactive" end
  if band(a1, 0x40) ~= 0 then t[#t + 1] = "power fault" end
  if band(a1, 0x20) ~= 0 then t[#t + 1] = "tamper" end
  if band(a1, 0x10) ~= 0 then t[#t + 1] = "new" end
  return table.concat(t, ", ")
end

-- 'D' reply: header, then one entry per table position.
local function add_device_table(tree, tvb, off, m)
  if m < 6 then return end
  local count = tvb:range(off, 2):le_uint()
  local header = tvb:range(off + 2, 1):uint()
  local t = tree:add(zav, tvb:range(off, m), "Bus device table")
  t:add_le(f.bus_count, tvb:range(off, 2))
  t:add(f.ctrl_kind, tvb:range(off + 2, 1), rshift(header, 5))
  t:add(f.passages, tvb:range(off + 2, 1), band(header, 0x1F))
  local fits = math.min(count, math.floor((m - 6) / 12))
  if fits < count then t:add_proto_expert_info(ef.table_short) end
  for i = 0, fits - 1 do
    local e = off + 6 + 12 * i
    local id = tvb:range(e, 4):le_uint()
    if rshift(id, 16) ~= 0xFFFF then
      local a1 = tvb:range(e + 5, 1):uint()
      local name = dev_name(id)
      local suffix = string.format("/%s%d", string.char(65 + band(rshift(id, 26), 3)),
                                   tvb:range(e + 4, 1):uint())
      local st = state_text(a1)
      local et = t:add(zav, tvb:range(e, 12), string.format("%d: %s%s%s", i, name, suffix,
                                                          st ~= "" and " (" .. st .. ")" or ""))
      et:add(f.bus_pos, tvb:range(e, 12), i):set_generated()
      et:add_le(f.bus_id, tvb:range(e, 4))
      et:add(f.bus_device, tvb:range(e, 4), name)
      et:add(f.bus_state, tvb:range(e + 5, 1))
    end
  end
end

-- 'C' and 'c': block kind and index (a reply takes them from its request) and the name a
-- passage or lift record carries. Returns the text for the Info column.
local function add_block(tree, tvb, off, m, info)
  local kind, index
  if info.reply then
    kind, index = info.block_kind_req, info.block_index_req
    if kind then add_generated(tree, f.block_kind, kind) end
    if index then add_generated(tree, f.block_index, index) end
    if info.letter == "C" and m >= 112 and (kind == 1 or kind == 2) then
      tree:add(f.name, tvb:range(off + 96, 16), tvb:range(off + 96, 16):stringz(ENC_WINDOWS_1250))
    end
  elseif m >= 2 then
    kind, index = tvb:range(off, 1):uint(), tvb:range(off + 1, 1):uint()
    tree:add(f.block_kind, tvb:range(off, 1))
    tree:add(f.block_index, tvb:range(off + 1, 1))
    if info.letter == "c" and m >= 106 and (kind == 1 or kind == 2) then
      tree:add(f.name, tvb:range(off + 90, 16), tvb:range(off + 90, 16):stringz(ENC_WINDOWS_1250))
    end
  end
  if not kind then return "" end
  return string.format("%s %s", BLOCK_KINDS[kind] or ("kind " .. kind), index or "?")
end

-- Payload of a plain or signed frame by its letter. Returns the text for the Info column.
local function add_payload(tree, tvb, off, m, info)
  if m > 0 then tree:add(f.payload, tvb:range(off, m)) end
  local L = info.letter
  local parts = {}
  if L == "C" or L == "c" then
    local text = add_block(tree, tvb, off, m, info)
    if text ~= "" then parts[#parts + 1] = text end
  end
  if info.reply and ACKNOWLEDGED[L] then
    local ok = m == 1 and tvb:range(off, 1):uint() == ACK
    local item = tree:add(f.ack, tvb:range(off, m), ok)
    if not ok then
      item:add_proto_expert_info(ef.nak, m == 1 and tvb:range(off, 1):uint() == NAK and
                                 "Command refused (NAK)" or "Command not acknowledged")
    end
    parts[#parts + 1] = ok and "ack" or "NOT acknowledged"
  elseif L == "O" and info.reply and m >= 4 then
    local mode = tvb:range(off + 2, 1):uint()
    tree:add(f.mode, tvb:range(off + 2, 1), band(mode, 3))
    tree:add(f.session, tvb:range(off + 2, 1), band(mode, 0x80) ~= 0)
    tree:add(f.status_valid, tvb:range(off + 3, 1), tvb:range(off + 3, 1):uint() == 0x31)
    parts[#parts + 1] = MODE_NAMES[band(mode, 3)]
    if band(mode, 0x80) ~= 0 then parts[#parts + 1] = "session held" end
  elseif L == "T" and m >= 4 then
    local secs = tvb:range(off, 4):le_uint()
    tree:add(f.time, tvb:range(off, 4), NSTime.new(secs, 0))
    parts[#parts + 1] = os.date("!%Y-%m-%d %H:%M:%S UTC", secs)
  elseif L == "K" and info.reply and m ~= 16 then
    tree:add_proto_expert_info(ef.denied)
    parts[#parts + 1] = "refused"
  elseif L == "D" and info.reply then
    add_device_table(tree, tvb, off, m)
    if m >= 2 then parts[#parts + 1] = tvb:range(off, 2):le_uint() .. " entries" end
  elseif L == "R" and not info.reply and m >= 2 then
    tree:add_le(f.pair, tvb:range(off, 2))
  elseif L == "Y" and not info.reply and m >= 2 then
    tree:add_le(f.fw_block, tvb:range(off, 2))
  end
  return table.concat(parts, ", ")
end

function zav.dissector(tvb, pinfo, tree)
  local len = tvb:reported_length_remaining()
  if len < 4 or tvb:captured_len() < len or tvb:range(0, 3):string() ~= "MMD" then return 0 end
  pinfo.cols.protocol = "ZAV"

  local info = state.frames[pinfo.number]
  if not info then
    local b = bytes_of(tvb, len)
    if len < 8 then
      local signed = b[3] == 0x43
      info = { number = pinfo.number, short = true, kind = signed and "signed" or "plain",
               letter = signed and "?" or string.char(b[3]) }
    else
      info = analyse(pinfo, b, len)
    end
    state.frames[pinfo.number] = info
  end

  local t = tree:add(zav, tvb:range(0, len))
  t:add(f.kind, tvb:range(3, 1), info.kind)
  t:add(f.letter, info.kind == "signed" and len > 10 and tvb:range(10, 1) or tvb:range(3, 1),
        info.letter)
  if info.reply ~= nil then add_generated(t, f.reply, info.reply) end
  if info.short then
    t:add_proto_expert_info(ef.short)
    pinfo.cols.info = string.format("%s%s '%s' [too short]", info.kind:sub(1, 1):upper(),
                                    info.kind:sub(2), info.letter)
    return len
  end
  t:add_le(f.devid, tvb:range(4, 4))
  local who = ""
  if info.id ~= BROADCAST_ID then
    who = dev_name(info.id)
    t:add(f.devname, tvb:range(4, 4), who)
  end

  local off, m
  local problems = {}
  if info.kind == "signed" then
    t:add_le(f.seq, tvb:range(8, 2))
    off, m = 11, len - SIGNED_OVERHEAD
    local sig = tvb:range(len - 8, 8)
    t:add(f.signature, sig)
    if info.sig_ok ~= nil then
      local item = t:add(f.sig_ok, sig, info.sig_ok)
      item:set_generated()
      if not info.sig_ok then
        item:add_proto_expert_info(ef.sig_bad)
        problems[#problems + 1] = "BAD SIGNATURE"
      end
      add_generated(t, f.key_in, info.key_in)
    else
      t:add_proto_expert_info(ef.no_key)
    end
  else
    off, m = 8, len - PLAIN_OVERHEAD
    local crc = tvb:range(len - 4, 4)
    t:add_le(f.crc, crc)
    local item = t:add(f.crc_ok, crc, info.crc_ok)
    item:set_generated()
    if not info.crc_ok then
      item:add_proto_expert_info(ef.crc_bad)
      problems[#problems + 1] = "BAD CHECKSUM"
    end
  end

  local detail = add_payload(t, tvb, off, m, info)

  if info.request_in then
    add_generated(t, f.request_in, info.request_in)
    add_generated(t, f.rtt, nstime(info.rtt))
  end
  if info.response_in then
    add_generated(t, f.response_in, info.response_in)
  elseif pinfo.visited and not info.reply and info.kind ~= "time" and info.kind ~= "discovery" then
    -- Known only once the whole capture has been seen (the GUI, or tshark -2).
    t:add_proto_expert_info(ef.no_reply)
  end
  if info.retry_of then
    add_generated(t, f.retry_of, info.retry_of):add_proto_expert_info(ef.retry)
  end

  local text
  if info.kind == "time" then
    text = "Time stamp 'T'"
  else
    text = string.format("%s %s '%s'", info.kind:sub(1, 1):upper() .. info.kind:sub(2),
                         info.reply and "reply" or "request", info.letter)
  end
  if LETTER_NAMES[info.letter] then text = text .. " (" .. LETTER_NAMES[info.letter] .. ")" end
  if who ~= "" then text = text .. " " .. who end
  if info.kind == "signed" then text = text .. " seq " .. tvb:range(8, 2):le_uint() end
  if detail ~= "" then text = text .. ": " .. detail end
  if #problems > 0 then text = text .. " [" .. table.concat(problems, ", ") .. "]" end
  pinfo.cols.info = text
  t:append_text(", " .. text)
  return len
end

DissectorTable.get("udp.port"):add(PORT, zav)

return helpers

# Writes the seed inputs of the bitmap fuzz targets: one tiny file per header, pixel format and
# compression the reader knows, as a .bmp file (bmp_seeds/) and as a packed bitmap (dib_seeds/).
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
def rows(w,h,bpp,f):
    out=b''
    for y in range(h-1,-1,-1):
        bits=0; nb=0; row=bytearray()
        for x in range(w):
            v=f(x,y)
            if bpp<8:
                bits=(bits<<bpp)|v; nb+=bpp
                if nb==8: row.append(bits); bits=0; nb=0
            else:
                row+=v.to_bytes(bpp//8,'little')
        if nb: row.append(bits<<(8-nb))
        while len(row)%4: row.append(0)
        out+=bytes(row)
    return out
def info(w,h,bpp,comp,pix,hs=40,masks=(),pal=(),used=0):
    if hs==12:
        b=struct.pack('<IHHHH',12,w,h,1,bpp)
        return b+b''.join(bytes([c[2],c[1],c[0]]) for c in pal)
    b=struct.pack('<IiiHHIIiiII',hs,w,h,1,bpp,comp,len(pix),2835,2835,used,0)
    b+=b''.join(struct.pack('<I',m) for m in masks)
    if len(b)<hs: b+=bytes(hs-len(b))
    return b+b''.join(bytes([c[2],c[1],c[0],0]) for c in pal)
def save(name,w,h,bpp,comp,pix,**k):
    i=info(w,h,bpp,comp,pix,**k)
    open(os.path.join(here,'dib_seeds',name+'.dib'),'wb').write(i+pix)
    open(os.path.join(here,'bmp_seeds',name+'.bmp'),'wb').write(b'BM'+struct.pack('<IHHI',14+len(i)+len(pix),0,0,14+len(i))+i+pix)
pal=lambda n:[(i*255//max(1,n-1),(i*7)&255,255-i*255//max(1,n-1)) for i in range(n)]
f=lambda x,y:(x*5+y*3)
save('b1',9,4,1,0,rows(9,4,1,lambda x,y:(x^y)&1),pal=pal(2))
save('b4',7,3,4,0,rows(7,3,4,lambda x,y:f(x,y)&15),pal=pal(16))
save('b8',5,4,8,0,rows(5,4,8,lambda x,y:f(x,y)&255),pal=pal(256))
save('b8short',5,4,8,0,rows(5,4,8,lambda x,y:f(x,y)&7),pal=pal(8),used=8)
save('b16',5,3,16,0,rows(5,3,16,lambda x,y:f(x,y)*977&0xFFFF))
save('b16f',5,3,16,3,rows(5,3,16,lambda x,y:f(x,y)*977&0xFFFF),masks=(0xF800,0x7E0,0x1F))
save('b24',5,3,24,0,rows(5,3,24,lambda x,y:f(x,y)*99991&0xFFFFFF))
save('b24core',5,3,24,0,rows(5,3,24,lambda x,y:f(x,y)*99991&0xFFFFFF),hs=12)
save('b8core',5,3,8,0,rows(5,3,8,lambda x,y:f(x,y)&255),hs=12,pal=pal(256))
save('b32',4,3,32,0,rows(4,3,32,lambda x,y:f(x,y)*2654435761&0xFFFFFFFF))
save('b32v5',4,3,32,3,rows(4,3,32,lambda x,y:f(x,y)*2654435761&0xFFFFFFFF),hs=124,masks=(0xFF0000,0xFF00,0xFF,0xFF000000))
save('b24v4',4,3,24,0,rows(4,3,24,lambda x,y:f(x,y)*99991&0xFFFFFF),hs=108)
save('rle8',5,3,8,1,bytes([2,7,0,3,1,2,3,0,0,0,0,2,2,1,1,9,0,1]),pal=pal(256))
save('rle4',6,2,4,2,bytes([3,0x12,1,0xF0,0,0,0,5,0xAB,0xCD,0xE0,0,0,1]),pal=pal(16))
